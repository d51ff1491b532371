#include "app/program/SendFaxProgram.h"

#include <memory>

#include "addrbook/CAddressBookDlg.h"
#include "app/CNetFaxApp.h"
#include "app/Clock.h"
#include "app/MessageBoxService.h"
#include "app/TaskProgress.h"
#include "connect/ConnectionManager.h"
#include "connect/NetworkState.h"
#include "controls/DocumentOpener.h"
#include "controls/HelpService.h"
#include "imaging/ImagingEnvironment.h"
#include "imaging/ImagingLibrary.h"
#include "transport/FaxSender.h"
#include "wizard/CTaskProgressWnd.h"
#include "wizard/FileReplace.h"
#include "wizard/Outbox.h"

FinishSteps MakeFinishSteps(CNetFaxApp& app, const FinishServices& services) {
    FinishSteps steps;
    MessageBoxService& boxes = services.messageBox;
    TaskProgressFactory& progress = services.progress;

    // LocalFolders is read at every call: a settings reload while the wizard
    // runs takes effect.
    steps.stageAttachment = [&app](const std::string& attached, const std::string& storedName) {
        return StageAttachment(app.settings.directory.LocalFolders, attached, storedName);
    };
    steps.buildRecipientLine = [&app] { return app.BuildRecipientLine(); };
    steps.saveToOutbox = [&app](const std::string& folderName,
                                const std::function<void()>& keepAlive) {
        return SaveToOutbox(app.settings.directory.LocalFolders, folderName, app.message,
                            app.clock(), kFaxGatewayDomain, nullptr, keepAlive);
    };

    // One manager for the run: its dialer binding stays loaded between calls.
    auto manager = std::make_shared<ConnectionManager>(
        services.network ? *services.network : DefaultNetworkState(), app.clock());
    steps.ensureOnline = [manager, &boxes, &progress](QWidget*) {
        return manager->EnsureOnline(boxes, progress);
    };

    auto sender = std::make_shared<FaxSender>(
        app.settings, boxes, progress,
        [](const std::string& recipients) { return FaxNumbersToAddresses(recipients); },
        app.clock());
    steps.sendFax = [sender, &app, &boxes] {
        if (sender->SendFax(app)) {
            // The sent documents are gone; so are their staging folders.
            for (const std::string& document : app.message.Documents()) RemoveStaged(document);
            return true;
        }
        // With no recipient left to send to the submission says nothing; the
        // fax goes to the outbox all the same, and the user must know.
        if (app.message.sendStatus != "fail") {
            (void)boxes.Show(kFaxFailedText, kMessageCaption, MbButtons::Ok, MbIcon::None);
            app.message.sendStatus = "fail";
        }
        return false;
    };

    steps.mergeProgress = [&progress] { return progress.Create("Send a Fax", true, true); };

    HelpService* help = services.help;
    steps.addressBook = [&app, &boxes, help](QWidget* parent, FaxJob& job) {
        return RunAddressBookDialog(parent, job, app.settings.directory.InstallPath, boxes, help);
    };
    return steps;
}

int RunSendFax(const std::string& commandLine, const SendFaxOptions& options) {
    if (!options.messageBox) return 1;
    ImagingLibrary binding;
    ImagingEnvironment& imaging = options.imaging ? *options.imaging : binding;
    SystemClock clock;
    DesktopOpener opener;
    QtTaskProgressFactory windows(*options.messageBox);
    TaskProgressFactory& progress = options.progress ? *options.progress : windows;

    CNetFaxApp app(imaging, *options.messageBox, clock, [&](CNetFaxApp& a) {
        DesktopHelp help(
            opener, [&a] { return a.helpFilePath; }, options.helpFolders, &a.messageBox());
        HostEnvironment env{a,
                            a.settings,
                            a.imaging(),
                            a.messageBox(),
                            a.commandLine,
                            &help,
                            &opener,
                            options.listenForMessages,
                            options.messageFolder,
                            options.messageId};
        FinishSteps steps =
            MakeFinishSteps(a, FinishServices{a.messageBox(), progress, &help, options.network});
        if (options.filePicker) steps.filePicker = options.filePicker;
        if (options.addressBook) steps.addressBook = options.addressBook;
        CMainHostDlg host(env, std::move(steps));
        // Files named together are attached together, in their order; those
        // that cannot be attached are told before the wizard shows.
        if (!options.documents.empty() && a.attachMode && a.AttachmentList.empty())
            (void)host.documentPage().AddFiles(options.documents);
        // The progress windows stand over the wizard.
        windows.SetOwner(&host.sheet());
        if (options.beforeRun) options.beforeRun(host, a);
        (void)host.DoModal();
        if (options.afterRun) options.afterRun(host, a);
        windows.SetOwner(nullptr);
    });
    (void)app.InitInstance(commandLine);
    return 0;
}
