#pragma once

#include <functional>
#include <string>

#include "app/core/AppSettings.h"
#include "app/core/Translate.h"
#include "wizard/job/FaxJob.h"

class Clock;
class ImagingEnvironment;
class MessageBoxService;

// String resource 103.
inline constexpr const char* kSocketsInitFailedText =
    QT_TRANSLATE_NOOP("Message", "Windows sockets initialization failed.");
// The fax printer and its driver.
inline constexpr const char* kFaxPrinterName = "zephrim";
inline constexpr const char* kHelpFileName = "qv20helpfile.hlp";
inline constexpr const char* kSetupNeededText =
    QT_TRANSLATE_NOOP("Message",
                      "No fax account or service address is set up yet, so no fax can be sent.\n\n"
                      "Open the settings now?");

// The application object: owns the settings and the fax job, and starts the
// program. The host dialog that carries the wizard is handed in, so start-up
// runs the same with and without a display.
class CNetFaxApp : public FaxJob {
  public:
    using HostDialog = std::function<void(CNetFaxApp&)>;
    using SocketsInit = std::function<bool()>;
    // Runs the settings window modally over the loaded settings.
    using SettingsWindowRunner = std::function<void(CNetFaxApp&)>;

    CNetFaxApp(ImagingEnvironment& imaging, MessageBoxService& messageBox, Clock& clock,
               HostDialog hostDialog = {});

    // Loads the settings, reads the command line, fills sender, date and
    // time, builds the host dialog, decides between the printed document and
    // an attached file, and runs the host dialog. Always false: the program
    // ends when the wizard ends.
    bool InitInstance(const std::string& commandLine);

    // Fills contactMode, attachMode and the four preset texts from "/s",
    // "/n <number>" and "/id <identifier>"; the contact is looked up in the
    // address book in InstallPath. Text inside double quotes (a path) is not
    // searched for switches.
    void ReadSwitches(const std::string& commandLine);

    [[nodiscard]] ImagingEnvironment& imaging() { return imaging_; }
    [[nodiscard]] MessageBoxService& messageBox() { return messageBox_; }
    [[nodiscard]] Clock& clock() { return clock_; }

    void SetHostDialog(HostDialog hostDialog) { hostDialog_ = std::move(hostDialog); }
    // Builds the host dialog before the printer checks; it must not read
    // attachMode or the page count, which the checks may still change.
    void SetHostBuilder(HostDialog builder) { hostBuilder_ = std::move(builder); }
    // Offered at start-up, before the wizard, while no account or service
    // address is set.
    void SetSettingsWindow(SettingsWindowRunner runner) { settingsWindow_ = std::move(runner); }
    // Loads the three blocks (General, Connection, Directory).
    void LoadSettings();
    // Socket start-up has nothing to do on this platform; tests make it fail.
    void SetSocketsInit(SocketsInit init) { socketsInit_ = std::move(init); }

    AppSettings settings;
    // InstallPath + "qv20helpfile.hlp", set by start-up.
    std::string helpFilePath;
    // The command line start-up was given, for the printed-document hand-over.
    std::string commandLine;
    // The cover artwork put into LocalFolders on first use; none when empty.
    std::string artworkFolder;

  private:
    ImagingEnvironment& imaging_;
    MessageBoxService& messageBox_;
    Clock& clock_;
    HostDialog hostDialog_;
    HostDialog hostBuilder_;
    SocketsInit socketsInit_;
    SettingsWindowRunner settingsWindow_;
};

// The command-line text of the program's arguments: argv[1] onwards joined
// with blanks. An argument holding a blank or tab, or a "/" after its first
// character (a path), or nothing at all, is put in double quotes, so that a
// group file path reaches the printed-document hand-over in its quoted form
// and is not taken for switches; an argument that already holds a double
// quote is passed as it is.
[[nodiscard]] std::string CommandLineFromArgs(int argc, char** argv);
