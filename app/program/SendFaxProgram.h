#pragma once

#include <functional>
#include <string>
#include <vector>

#include "pages/CAttachFile.h"
#include "wizard/ui/CMainHostDlg.h"

class CNetFaxApp;
class HelpService;
class ImagingEnvironment;
class MessageBoxService;
class NetworkState;
class TaskProgressFactory;

// The program around the wizard: the application object with its imaging
// binding, the host dialog, and the Finish steps joined to the libraries that
// carry them out. The program and the demo driver both run it.
struct SendFaxOptions {
    // Every box of the run goes here; required.
    MessageBoxService* messageBox = nullptr;
    // Called with the host once it is built, before the wizard runs (a
    // script may queue its input here).
    std::function<void(CMainHostDlg&, CNetFaxApp&)> beforeRun;
    // Called when the host has ended, before it is destroyed: the job still
    // holds its recipients and its message.
    std::function<void(CMainHostDlg&, CNetFaxApp&)> afterRun;
    // Files to attach, named on the command line, in their order; attached
    // unless a printed document was taken over.
    std::vector<std::string> documents;
    // Runs the settings window; offered at start-up while no account or
    // service address is set. None: nothing is offered.
    std::function<void(CNetFaxApp&)> settingsWindow;
    // The cover artwork put into LocalFolders on first use.
    std::string artworkFolder;
    // Folders of the program's help pages.
    std::vector<std::string> helpFolders;
    // Stands in for the system's file dialog on the document page.
    CAttachFile::FilePicker filePicker;
    // Stands in for the address-book dialog of the recipients page.
    CSelRecipient::AddressBookRunner addressBook;
    bool listenForMessages = true;
    // Where the wizard listens for window messages and under which number:
    // the user's message folder and the process id when left empty.
    std::string messageFolder;
    long messageId = 0;
    // The machine's network state and the imaging binding when null.
    NetworkState* network = nullptr;
    ImagingEnvironment* imaging = nullptr;
    // The progress windows of the waits; CTaskProgressWnd windows over the
    // wizard when null.
    TaskProgressFactory* progress = nullptr;
};

// The cover artwork beside the program: <programDir>/../share/corvinaport/cover.
[[nodiscard]] std::string InstalledArtworkFolder(const std::string& programDir);

// Runs start-up and the wizard for the command line; the program's exit code.
int RunSendFax(const std::string& commandLine, const SendFaxOptions& options);

// What the Finish steps work with besides the application object.
struct FinishServices {
    MessageBoxService& messageBox;
    // Progress windows of getting on-line and of sending.
    TaskProgressFactory& progress;
    HelpService* help = nullptr;
    // The machine's network state when null.
    NetworkState* network = nullptr;
};

// The Finish steps of the application's job: staging and the recipient line
// by the fax job, getting on-line by the connection manager (the connection
// type is read from the settings at every Finish), sending by the fax
// submission, storing by the outbox writer, and the recipients page's
// address book. The settings are read where they are used, so a reload while
// the wizard runs takes effect. The services must outlive the steps.
[[nodiscard]] FinishSteps MakeFinishSteps(CNetFaxApp& app, const FinishServices& services);
