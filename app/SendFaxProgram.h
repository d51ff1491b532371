#pragma once

#include <functional>
#include <string>

#include "pages/CAttachFile.h"
#include "wizard/CMainHostDlg.h"

class CNetFaxApp;
class MessageBoxService;
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
    // Stands in for the system's file dialog on the document page.
    CAttachFile::FilePicker filePicker;
    bool listenForMessages = true;
};

// Runs start-up and the wizard for the command line; the program's exit code.
int RunSendFax(const std::string& commandLine, const SendFaxOptions& options);

// The Finish steps of the application's job, carried out by the fax job,
// connection and submission libraries. A step whose library is not part of
// this build is left empty, and the host then falls back as it does without
// it (no connection: the fax goes to the outbox).
[[nodiscard]] FinishSteps MakeFinishSteps(CNetFaxApp& app, MessageBoxService& messageBox,
                                          TaskProgressFactory* progress);

// Which of the libraries behind the Finish steps this build carries, for the
// demo driver's report: "stage", "recipients", "outbox", "online", "send",
// "addressbook" each followed by " yes" or " no", one a line.
[[nodiscard]] std::string FinishStepsWired();
