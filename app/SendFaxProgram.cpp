#include "app/SendFaxProgram.h"

#include <memory>
#include <sstream>

#include "app/CNetFaxApp.h"
#include "app/Clock.h"
#include "app/MessageBoxService.h"
#include "app/TaskProgress.h"
#include "controls/DocumentOpener.h"
#include "controls/HelpService.h"
#include "imaging/ImagingEnvironment.h"
#include "wizard/Outbox.h"
#include "imaging/ImagingLibrary.h"

namespace {

// The progress windows of the waits on the network.
std::unique_ptr<TaskProgressFactory> MakeProgressFactory() { return nullptr; }

}  // namespace

FinishSteps MakeFinishSteps(CNetFaxApp& app, MessageBoxService& messageBox,
                            TaskProgressFactory* progress) {
    (void)messageBox;
    (void)progress;
    FinishSteps steps;
    // LocalFolders is read at every call: a settings reload while the wizard
    // runs takes effect.
    steps.stageAttachment = [&app](const std::string& attached) {
        return StageAttachment(app.settings.directory.LocalFolders, attached);
    };
    steps.buildRecipientLine = [&app] { return app.BuildRecipientLine(); };
    steps.saveToOutbox = [&app](const std::string& folderName) {
        return SaveToOutbox(app.settings.directory.LocalFolders, folderName, app.message,
                            app.clock());
    };
    return steps;
}

std::string FinishStepsWired() {
    std::ostringstream out;
    auto line = [&out](const char* name, bool on) { out << name << (on ? " yes" : " no") << '\n'; };
    line("stage", true);
    line("recipients", true);
    line("outbox", true);
    line("online", false);
    line("send", false);
    line("addressbook", false);
    return out.str();
}

int RunSendFax(const std::string& commandLine, const SendFaxOptions& options) {
    if (!options.messageBox) return 1;
    ImagingLibrary imaging;
    SystemClock clock;
    DesktopOpener opener;
    std::unique_ptr<TaskProgressFactory> progress = MakeProgressFactory();

    CNetFaxApp app(imaging, *options.messageBox, clock, [&](CNetFaxApp& a) {
        DesktopHelp help(opener, [&a] { return a.helpFilePath; });
        HostEnvironment env{a,
                            a.settings,
                            a.imaging(),
                            a.messageBox(),
                            a.commandLine,
                            &help,
                            &opener,
                            options.listenForMessages};
        FinishSteps steps = MakeFinishSteps(a, a.messageBox(), progress.get());
        if (options.filePicker) steps.filePicker = options.filePicker;
        CMainHostDlg host(env, std::move(steps));
        if (options.beforeRun) options.beforeRun(host, a);
        (void)host.DoModal();
        if (options.afterRun) options.afterRun(host, a);
    });
    (void)app.InitInstance(commandLine);
    return 0;
}
