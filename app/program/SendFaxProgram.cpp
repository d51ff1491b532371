#include "app/program/SendFaxProgram.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <thread>

#include "addrbook/contacts/ui/ContactsWindow.h"
#include "addrbook/ui/CAddressBookDlg.h"
#include "app/CNetFaxApp.h"
#include "app/core/BackgroundTask.h"
#include "app/core/Clock.h"
#include "app/core/MessageBoxService.h"
#include "app/core/TaskProgress.h"
#include "app/window_messages/WindowMessage.h"
#include "base/DynamicLibrary.h"
#include "base/FileReplace.h"
#include "connect/ConnectionManager.h"
#include "connect/NetworkState.h"
#include "controls/BuiltInHelp.h"
#include "controls/DocumentOpener.h"
#include "controls/HelpService.h"
#include "imaging/AheadSpooler.h"
#include "imaging/ImagingEnvironment.h"
#include "imaging/ImagingLibrary.h"
#include "imaging/PrintSpooler.h"
#include "transport/FaxSender.h"
#include "wizard/job/FaxState.h"
#include "wizard/job/Outbox.h"
#include "wizard/ui/CTaskProgressWnd.h"

namespace {

struct RunRecord {
    bool triedOnline = false;
    bool submitted = false;
};

// A fax the user placed in the outbox, or stopped, is held; one that failed
// for a cause outside the user's hands waits for the automatic retry, its
// failed attempt counted; one whose whole upload went out unanswered may
// have reached the service and waits for the user's word.
SendState StoredState(const RunRecord& run, const SendOutcome& outcome, std::time_t now) {
    SendState state;
    if (!run.triedOnline) {
        state.held = true;
        return state;
    }
    if (!run.submitted || outcome.step == SendOutcome::Step::None) return state;
    send_state::BeginAttempt(state, now);
    if (outcome.uncertain) {
        send_state::OutcomeUnknown(state, outcome.Detail());
        state.sendingSince = now;
    } else {
        send_state::FailedBeforeUpload(state, now, outcome.Detail(),
                                       outcome.cause == HttpFailure::Stopped, LoadRetryLimits());
    }
    return state;
}

// A second name (a hard link, else a copy) for the document about to be sent,
// in a staging folder of its own; empty when none could be made.
std::string KeepForHistory(const std::string& localFolders, const std::string& document) {
    const auto slash = document.find_last_of('/');
    const std::string name = slash == std::string::npos ? document : document.substr(slash + 1);
    std::string kept = StagingPath(localFolders + "outbox/", name);
    if (kept.empty()) return {};
    if (::link(document.c_str(), kept.c_str()) == 0 ||
        CopyFileReplacing(document, kept, FileAccess::Private))
        return kept;
    RemoveStaged(kept);
    return {};
}

// A fax sent at once joins the history in sent/ as a stored fax sent later
// would: its message, its documents and a record that says it was accepted.
void RecordSent(const std::string& localFolders, const FaxMessage& message,
                const std::vector<std::string>& kept, const Clock& clock) {
    const bool whole = !kept.empty() && std::find(kept.begin(), kept.end(), "") == kept.end();
    FaxMessage sent = message;
    sent.documentPath = whole ? kept.front() : std::string();
    sent.documentPaths = kept.size() > 1 ? kept : std::vector<std::string>{};
    SendState state;
    send_state::BeginAttempt(state, clock.Now());
    send_state::Accepted(state);
    if (!whole || !SaveToOutbox(localFolders, "sent", sent, clock, kFaxGatewayDomain, &state))
        for (const std::string& k : kept) RemoveStaged(k);
}

}  // namespace

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

    // One manager for the run: its dialer binding stays loaded between calls.
    auto manager = std::make_shared<ConnectionManager>(
        services.network ? *services.network : DefaultNetworkState(), app.clock());
    // What the run did before it stored the fax decides the stored fax's state.
    auto run = std::make_shared<RunRecord>();
    steps.ensureOnline = [manager, run, &boxes, &progress](QWidget*) {
        run->triedOnline = true;
        return manager->EnsureOnline(boxes, progress);
    };

    // The Outbox window, offered beside the boxes that say the fax is kept.
    steps.openOutbox = [&boxes] {
        const QString beside =
            QCoreApplication::applicationDirPath() + QStringLiteral("/corvinaport-outbox-window");
        const QString program =
            QFileInfo(beside).isExecutable() ? beside : QStringLiteral("corvinaport-outbox-window");
        if (!QProcess::startDetached(program, {}))
            (void)boxes.Show(
                QT_TRANSLATE_NOOP("Message", "The Corvinaport Outbox window could not be opened."),
                kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
    };
    auto sender = std::make_shared<FaxSender>(
        app.settings, boxes, progress,
        [](const std::string& recipients) { return FaxNumbersToAddresses(recipients); },
        app.clock());
    sender->openOutbox = steps.openOutbox;
    sender->nextStep = [run, &app](const SendOutcome& outcome) {
        return WhatHappensNext(StoredState(*run, outcome, app.clock().Now()), app.clock().Now());
    };
    steps.saveToOutbox = [&app, sender, run](const std::string& folderName) {
        const SendState state = StoredState(*run, sender->outcome, app.clock().Now());
        return SaveToOutbox(app.settings.directory.LocalFolders, folderName, app.message,
                            app.clock(), kFaxGatewayDomain, &state)
            .ok();
    };
    steps.sendFax = [sender, run, &app, &boxes] {
        sender->outcome = SendOutcome{};
        run->submitted = true;
        const std::string local = app.settings.directory.LocalFolders;
        // Names of their own for what is sent, kept for the history; a big
        // document may take a while to copy (or to record), so both run off
        // the interface thread.
        std::vector<std::string> kept;
        const std::vector<std::string> documents = app.message.Documents();
        RunInBackground(
            [&](const std::stop_token&) {
                for (const std::string& document : documents)
                    kept.push_back(KeepForHistory(local, document));
            },
            nullptr);
        if (sender->SendFax(app)) {
            // The sent documents are gone; so are their staging folders.
            const FaxMessage sent = app.message;
            const Clock& clock = app.clock();
            RunInBackground(
                [&](const std::stop_token&) {
                    for (const std::string& document : sent.Documents()) RemoveStaged(document);
                    RecordSent(local, sent, kept, clock);
                },
                nullptr);
            return true;
        }
        for (const std::string& k : kept) RemoveStaged(k);
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
    steps.distributionList = [&app, &boxes](QWidget* parent, FaxJob& job) {
        return RunDistributionListChooser(parent, job, app.settings.directory.InstallPath, boxes);
    };
    return steps;
}

std::string InstalledArtworkFolder(const std::string& programDir) {
    return (std::filesystem::path(programDir) / ".." / "share" / "corvinaport" / "cover")
        .lexically_normal()
        .string();
}

int RunSendFax(const std::string& commandLine, const SendFaxOptions& options) {
    if (!options.messageBox) return 1;
    // Body files left by a sender that stopped hold the password: gone, on
    // a thread of its own, since the search reads the whole temporary folder.
    const std::jthread tidying([] { (void)RemoveAbandonedBodyFiles(); });
    // The print system is asked while the window is built (see below).
    auto spooler = std::make_unique<AheadSpooler>(std::make_unique<CupsSpooler>());
    AheadSpooler& printSystem = *spooler;
    ImagingLibrary binding(std::move(spooler));
    ImagingEnvironment& imaging = options.imaging ? *options.imaging : binding;
    SystemClock clock;
    DesktopOpener opener;
    QtTaskProgressFactory windows(*options.messageBox);
    TaskProgressFactory& progress = options.progress ? *options.progress : windows;

    CNetFaxApp app(imaging, *options.messageBox, clock);
    // Built before the fax printer is looked at, run after.
    std::optional<BuiltInHelp> help;
    std::optional<CMainHostDlg> host;
    std::jthread ahead;
    app.SetHostBuilder([&](CNetFaxApp& a) {
        // The printer check finds its answers and the imaging libraries'
        // binding its libraries ready once the window is built. Not sooner:
        // loading a library holds a lock that Qt's own loads and every new
        // thread wait for.
        if (!options.imaging) {
            printSystem.Start();
            ahead = DynamicLibrary::LoadAhead(
                {ImagingLibrary::kTiffLibraryName, ImagingLibrary::kBitmapLibraryName});
        }
        // Staging folders whose run ended or crashed, their documents kept in
        // recovered/; those of running wizards (this one's printed document
        // among them) stay.
        if (!a.settings.directory.LocalFolders.empty())
            (void)RemoveAbandonedStaging(a.settings.directory.LocalFolders + "outbox/",
                                         a.settings.directory.LocalFolders + "recovered/");
        help.emplace(
            opener, [&a] { return a.helpFilePath; }, options.helpFolders, &a.messageBox());
        HostEnvironment env{a,
                            a.settings,
                            a.imaging(),
                            a.messageBox(),
                            a.commandLine,
                            &*help,
                            &opener,
                            options.listenForMessages,
                            options.messageFolder,
                            options.messageId};
        FinishSteps steps =
            MakeFinishSteps(a, FinishServices{a.messageBox(), progress, &*help, options.network});
        if (options.filePicker) steps.filePicker = options.filePicker;
        if (options.addressBook) steps.addressBook = options.addressBook;
        host.emplace(env, std::move(steps));
    });
    app.SetHostDialog([&](CNetFaxApp& a) {
        if (!host) return;
        // Files named together are attached together, in their order; those
        // that cannot be attached are told before the wizard shows.
        if (!options.documents.empty() && a.attachMode && a.AttachmentList.empty())
            (void)host->documentPage().AddFiles(options.documents);
        // The progress windows stand over the wizard.
        windows.SetOwner(&host->sheet());
        if (options.beforeRun) options.beforeRun(*host, a);
        (void)host->DoModal();
        if (options.afterRun) options.afterRun(*host, a);
        windows.SetOwner(nullptr);
        host.reset();
    });
    app.SetSettingsWindow(options.settingsWindow);
    app.artworkFolder = options.artworkFolder;
    (void)app.InitInstance(commandLine);
    return 0;
}
