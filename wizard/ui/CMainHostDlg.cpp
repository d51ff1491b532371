#include "wizard/ui/CMainHostDlg.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include <unistd.h>

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include "app/core/AppSettings.h"
#include "app/core/BackgroundTask.h"
#include "app/core/MessageBoxService.h"
#include "app/core/TaskProgress.h"
#include "base/FileReplace.h"
#include "controls/HelpService.h"
#include "controls/Look.h"
#include "imaging/ImagingEnvironment.h"
#include "res/Resources.h"
#include "wizard/job/FaxJob.h"

namespace {

namespace fs = std::filesystem;

bool Readable(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return false;
    std::ifstream in(path, std::ios::binary);
    return in.good();
}

bool Exists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::exists(path, ec);
}

// A document this run staged and could not store goes beside the stored
// faxes under a free name (never replacing one), so that it outlives the
// run's staging folder; its new path, or path itself when it cannot move.
std::string KeepOutOfStaging(const std::string& path, const std::string& outbox) {
    if (!HeldStaged(path)) return path;
    const fs::path name = fs::path(path).filename();
    for (int n = 1; n < 100; ++n) {
        std::string kept = outbox + (n == 1 ? name.string()
                                            : name.stem().string() + "-" + std::to_string(n) +
                                                  name.extension().string());
        if (::link(path.c_str(), kept.c_str()) == 0) {
            RemoveStaged(path);
            return kept;
        }
        if (errno != EEXIST) break;
    }
    return path;
}

}  // namespace

CMainHostDlg::CMainHostDlg(HostEnvironment env, FinishSteps steps, QWidget* parent)
    : QDialog(parent), env_(std::move(env)), steps_(std::move(steps)), recipients_(env_.job) {
    // Template 102; its controls are made when it is first shown.
    setWindowTitle(tr("Send a Fax"));

    // What the window's creation did: register the hand-over message and
    // open the way for messages from outside.
    kestroMessage_ = RegisterWindowMessageA(kKestroMessage);
    if (env_.listenForMessages) {
        listener_ = new WindowMessageListener(this);
        // Without a private folder the wizard still runs, only deaf.
        if (env_.messageFolder.empty() && env_.messageId == 0)
            (void)listener_->Listen();
        else
            (void)listener_->Listen(
                env_.messageFolder.empty() ? MessageFolder() : env_.messageFolder,
                env_.messageId != 0 ? env_.messageId : static_cast<long>(::getpid()));
        listener_->SetAnswerer(
            [this](const WindowMessage& message) { return HandleWindowMessage(message); });
    }

    Wire(recipients_);
    if (steps_.addressBook) recipients_.SetAddressBookRunner(steps_.addressBook);
    if (steps_.distributionList) recipients_.SetListRunner(steps_.distributionList);
    sheet_.SetFinishCheck([this] { return CheckBeforeFinish(); });
    connect(&sheet_, &CNetFaxPropSheet::helpRequested, this, &CMainHostDlg::OnHelp);
}

void CMainHostDlg::Wire(WizardPage& page) {
    page.SetHelpService(env_.help);
    page.SetMessageBox(&env_.messageBox);
}

void CMainHostDlg::TitleForContacts(WizardPage& page, const QString& title) {
    // The contact mode's short wizard has no help and titles of its own.
    if (!env_.job.contactMode) return;
    page.SetHasHelp(false);
    page.SetTitle(title);
}

CAttachFile& CMainHostDlg::documentPage() {
    if (!document_) {
        document_ = std::make_unique<CAttachFile>(env_.job);
        Wire(*document_);
        document_->SetOpener(env_.opener);
        if (steps_.filePicker) document_->SetFilePicker(steps_.filePicker);
        connect(document_.get(), &CAttachFile::coverSheetToggled, this,
                &CMainHostDlg::OfferCoverPage);
        // Attached files may get a cover sheet on request; the contact
        // mode's short wizard keeps its three pages.
        document_->SetCoverSheetOffered(!env_.job.contactMode);
        TitleForContacts(*document_, tr("Send an Internet Fax - Add File"));
    }
    return *document_;
}

CScheduleFax& CMainHostDlg::schedulePage() {
    if (!schedule_) {
        schedule_ = std::make_unique<CScheduleFax>();
        Wire(*schedule_);
        if (steps_.preview) schedule_->SetPreviewRunner(steps_.preview);
        schedule_->SetPreviewDocuments([this] { return PreviewDocuments(); });
        TitleForContacts(*schedule_, tr("Send an Internet Fax - Schedule Fax"));
    }
    return *schedule_;
}

CSelCover& CMainHostDlg::coverPage() {
    // Made when first wanted: a wizard for attached files shows it only on
    // request.
    if (!cover_) {
        cover_ = std::make_unique<CSelCover>(env_.job, env_.settings.directory, env_.imaging);
        Wire(*cover_);
        cover_->SetOpener(env_.opener);
        if (steps_.logoPicker) cover_->SetPickerRunner(steps_.logoPicker);
        if (steps_.preview) cover_->SetPreviewRunner(steps_.preview);
    }
    return *cover_;
}

void CMainHostDlg::BuildOwnTemplate() {
    if (std::exchange(ownTemplate_, true)) return;
    setWindowIcon(res::Icon(res::IDI_PROGRAM));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSize(8);
    setFont(f);
    resize(look::DialogUnits(*this, 277, 223));
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    QSize pos = look::DialogUnits(*this, 6, 3), size = look::DialogUnits(*this, 264, 184);
    frame->setGeometry(pos.width(), pos.height(), size.width(), size.height());
    auto* ok = new QPushButton(tr("Ok"), this);
    QSize okPos = look::DialogUnits(*this, 19, 158), button = look::DialogUnits(*this, 50, 14);
    ok->setGeometry(okPos.width(), okPos.height(), button.width(), button.height());
    auto* cancel = new QPushButton(tr("Cancel"), this);
    QSize cancelPos = look::DialogUnits(*this, 119, 161);
    cancel->setGeometry(cancelPos.width(), cancelPos.height(), button.width(), button.height());
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

CMainHostDlg::~CMainHostDlg() {
    // What the window's destruction did: empty the lists, close the help.
    env_.job.ClearRecipients();
    // The recipients page's lines point at the records: it shows the empty
    // list, for the pages go one by one and may bring it to the front.
    recipients_.RefillList();
    env_.job.ClearAttachments();
    // A cover composed but never merged (the wizard was cancelled); one that
    // went with documents the outbox did not take stays beside them.
    const std::vector<std::string>& kept = env_.job.message.documentPaths;
    if (cover_ && std::find(kept.begin(), kept.end(), cover_->coverFilePath()) == kept.end())
        RemoveStaged(cover_->coverFilePath());
    if (env_.help) env_.help->Quit();
    if (listener_) listener_->Close();
}

bool CMainHostDlg::CoverWanted() const {
    return cover_ && sheet_.IndexOf(cover_.get()) >= 0 && cover_->initialized() &&
           cover_->sendCoverSheet();
}

std::vector<std::string> CMainHostDlg::PreviewDocuments() const {
    std::vector<std::string> files;
    if (CoverWanted() && !cover_->coverFilePath().empty()) files.push_back(cover_->coverFilePath());
    const FaxJob& job = env_.job;
    if (job.attachMode && !job.AttachmentList.empty())
        files.insert(files.end(), job.AttachmentList.begin(), job.AttachmentList.end());
    else if (!job.message.documentPath.empty())
        files.push_back(job.message.documentPath);
    return files;
}

void CMainHostDlg::OfferCoverPage(bool on) {
    if (!on) {
        if (cover_) (void)sheet_.RemovePage(cover_.get());
        return;
    }
    const int document = sheet_.IndexOf(document_.get());
    if (document >= 0) sheet_.InsertPage(document + 1, &coverPage());
}

void CMainHostDlg::BuildPageSet() {
    if (built_) return;
    built_ = true;
    // The pages after the first are made when first shown: a wizard opens
    // on the recipients page.
    const auto document = [this]() -> WizardPage* { return &documentPage(); };
    const auto schedule = [this]() -> WizardPage* { return &schedulePage(); };
    if (env_.job.contactMode) {
        TitleForContacts(recipients_, tr("Send an Internet Fax - Enter Fax Number"));
        sheet_.SetHasHelp(false);
        sheet_.AddPage(&recipients_);
        sheet_.AddPage(document);
        sheet_.AddPage(schedule);
    } else {
        sheet_.AddPage(&recipients_);
        if (env_.job.attachMode)
            sheet_.AddPage(document);
        else
            sheet_.AddPage([this]() -> WizardPage* { return &coverPage(); });
        sheet_.AddPage(schedule);
    }
    sheet_.SetWizardMode();
}

int CMainHostDlg::DoModal() {
    BuildPageSet();
    int result = sheet_.DoModal();
    if (result == CNetFaxPropSheet::kFinished) {
        Finish();
        RemoveUnsent(false);
        return 1;
    }
    if (result == CNetFaxPropSheet::kCancelled) {
        RemoveUnsent(true);
        return 1;
    }
    // Any other end leaves the host open on its own template.
    BuildOwnTemplate();
    return exec();
}

bool CMainHostDlg::CheckBeforeFinish() {
    // The attached files are read only now: tell the user when one went away
    // since it was picked, and let them pick it again.
    FaxJob& job = env_.job;
    if (!job.attachMode) return true;
    for (const std::string& path : job.AttachmentList) {
        if (Readable(path)) continue;
        (void)env_.messageBox.Show(
            tr("The file you attached cannot be read:\n%1\nPlease add the file again.")
                .arg(QString::fromStdString(path))
                .toStdString(),
            kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
        const int index = sheet_.IndexOf(&documentPage());
        if (index >= 0) (void)sheet_.SetActivePage(index);
        return false;
    }
    return true;
}

bool CMainHostDlg::StageAttachments() {
    FaxJob& job = env_.job;
    FaxMessage& message = job.message;
    const bool cover = CoverWanted() && !cover_->coverFilePath().empty();
    const std::vector<std::string> attached(job.AttachmentList.begin(), job.AttachmentList.end());
    // Names of their own, so that no file hides another at the service or in
    // the outbox; the cover keeps its name in front of them.
    std::vector<std::string> reserved;
    if (cover) reserved.push_back(fs::path(cover_->coverFilePath()).filename().string());
    const std::vector<std::string> names = DistinctFileNames(attached, reserved);
    const std::unique_ptr<TaskProgress> busy = BusyWindow(tr("Preparing your fax..."));
    // The copies are made off the interface thread; a stop ends them
    // between two files.
    std::vector<std::string> copies;
    std::size_t failed = attached.size();
    const auto stage = steps_.stageAttachment;
    RunBusy(
        [&](const std::stop_token& stop) {
            for (std::size_t i = 0; i < attached.size() && !stop.stop_requested(); ++i) {
                std::string copy = stage(attached[i], names[i]);
                if (!Exists(copy)) {
                    RemoveStaged(copy);
                    failed = i;
                    return;
                }
                copies.push_back(std::move(copy));
            }
        },
        busy.get());
    if (failed < attached.size() || copies.size() < attached.size()) {
        // Sending or storing a fax without one of its documents would
        // report success for too little; the attached files are where
        // they were.
        for (const std::string& copy : copies) RemoveStaged(copy);
        if (failed < attached.size())
            (void)env_.messageBox.Show(
                tr("The file could not be copied to the Corvinaport Outbox folder:\n%1outbox/\n"
                   "Your fax was not sent. The file you attached is still in:\n%2")
                    .arg(QString::fromStdString(env_.settings.directory.LocalFolders),
                         QString::fromStdString(attached[failed]))
                    .toStdString(),
                kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
        else
            (void)env_.messageBox.Show(
                tr("Your fax was not sent or saved.\nThe files you attached are where they were.")
                    .toStdString(),
                kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
        return false;
    }
    std::vector<std::string> staged;
    if (cover) staged.push_back(cover_->coverFilePath());
    staged.insert(staged.end(), copies.begin(), copies.end());
    message.documentPath = staged.front();
    // One document alone stays the plain documentPath.
    if (staged.size() > 1) message.documentPaths = std::move(staged);
    return true;
}

void CMainHostDlg::Finish() {
    FaxJob& job = env_.job;
    FaxMessage& message = job.message;
    if (job.attachMode && !job.AttachmentList.empty() && steps_.stageAttachment &&
        !StageAttachments())
        return;
    if (steps_.buildRecipientLine) message.to = steps_.buildRecipientLine();
    // A printed document takes the cover in front of its own pages; attached
    // files have it as a document of its own (staged above).
    if (!job.attachMode && CoverWanted() && !MergeCoverSheet()) {
        // Stopped: nothing is sent. The fax is kept in the outbox, held,
        // with the cover as a document of its own in front of the pages.
        message.documentPaths = {cover_->coverFilePath(), message.documentPath};
        ShowSaved();
        SaveToOutbox();
        return;
    }

    if (schedulePage().sendNow) {
        const bool online = steps_.ensureOnline && steps_.ensureOnline(this);
        if (online) {
            if (steps_.sendFax && steps_.sendFax()) return;
            // The submission has told the user already.
            SaveToOutbox();
            return;
        }
    }
    ShowSaved();
    SaveToOutbox();
}

void CMainHostDlg::ShowSaved() {
    const bool open = env_.messageBox.ShowOffering(kSavedText, kSavedCaption, MbIcon::None, {}, {},
                                                   steps_.openOutbox ? kOpenOutboxText : "");
    if (open && steps_.openOutbox) steps_.openOutbox();
}

std::unique_ptr<TaskProgress> CMainHostDlg::BusyWindow(const QString& text) {
    const FaxJob& job = env_.job;
    if (job.AttachmentList.size() < 2 && job.message.documentPaths.size() < 2) return nullptr;
    std::unique_ptr<TaskProgress> busy = steps_.mergeProgress ? steps_.mergeProgress() : nullptr;
    if (busy) {
        busy->SetText(text.toStdString());
        busy->Show();
        busy->PumpMessages(false);
    }
    return busy;
}

void CMainHostDlg::RunBusy(const std::function<void(std::stop_token)>& work, TaskProgress* progress,
                           const std::function<void()>& eachTurn) {
    struct Busy {
        CMainHostDlg& host;
        explicit Busy(CMainHostDlg& h) : host(h) { host.busy_ = true; }
        ~Busy() { host.busy_ = false; }
    };
    {
        const Busy busy(*this);
        RunInBackground(work, progress, eachTurn);
    }
    if (std::exchange(reloadPending_, false)) ReloadSettings();
}

void CMainHostDlg::ReloadSettings() {
    env_.settings.general.Load();
    env_.settings.directory.Load();
    env_.settings.connection.Load();
}

void CMainHostDlg::SaveToOutbox() {
    std::vector<std::string> documents = env_.job.message.Documents();
    bool saved = false;
    if (steps_.saveToOutbox) {
        const std::unique_ptr<TaskProgress> busy =
            BusyWindow(tr("Saving your fax in the Corvinaport Outbox..."));
        // Storing is what keeps the fax: a stop asked for meanwhile lets it end.
        const auto save = steps_.saveToOutbox;
        RunBusy([&](const std::stop_token&) { saved = save("outbox"); }, busy.get());
    }
    // A document that stays behind must outlive this run's staging folder.
    if (!saved)
        for (std::string& document : documents)
            if (Exists(document))
                document =
                    KeepOutOfStaging(document, env_.settings.directory.LocalFolders + "outbox/");
    // A stored fax has taken its documents along; one still in its place was
    // not stored, and the user must know where it is.
    std::vector<std::string> left;
    for (const std::string& document : documents) {
        const std::string name = document.substr(document.find_last_of('/') + 1);
        if (name.size() >= 2 && Exists(document)) left.push_back(document);
    }
    if (saved && left.empty()) return;
    std::string text = tr("Your fax could not be saved in the Corvinaport Outbox.").toStdString();
    for (const std::string& document : documents)
        if (Exists(document))
            text += tr("\nThe document is kept in:\n%1")
                        .arg(QString::fromStdString(document))
                        .toStdString();
    (void)env_.messageBox.Show(text, kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
}

void CMainHostDlg::RemoveUnsent(bool document) {
    const std::string outbox = env_.settings.directory.LocalFolders + "outbox/";
    // Only files directly in the outbox folder: a path from elsewhere is the
    // user's own file.
    auto inOutbox = [&outbox](const std::string& path) {
        return !outbox.empty() && path.size() > outbox.size() &&
               path.compare(0, outbox.size(), outbox) == 0 &&
               path.find('/', outbox.size()) == std::string::npos;
    };
    // A file in a staging folder of this run's own goes with its folder.
    auto ours = [&inOutbox](const std::string& path) { return inOutbox(path) || HeldStaged(path); };
    const std::string& printed = env_.job.message.documentPath;
    if (document && !env_.job.attachMode && ours(printed)) RemoveStaged(printed);
    if (!cover_) return;
    const std::string& cover = cover_->coverFilePath();
    const std::vector<std::string>& kept = env_.job.message.documentPaths;
    if (ours(cover) && cover != printed && std::find(kept.begin(), kept.end(), cover) == kept.end())
        RemoveStaged(cover);
}

bool CMainHostDlg::MergeCoverSheet() {
    const std::string cover = cover_ ? cover_->coverFilePath() : std::string();
    if (cover.empty()) return true;
    const std::string document = env_.job.message.documentPath;
    const std::string outbox = env_.settings.directory.LocalFolders + "outbox/";
    // A long document takes a while: the window shows how far the merge is
    // and answers Stop.
    std::unique_ptr<TaskProgress> progress =
        steps_.mergeProgress ? steps_.mergeProgress() : nullptr;
    if (progress) {
        progress->SetText(tr("Adding the cover sheet to your fax...").toStdString());
        progress->Show();
    }
    std::atomic<std::uint32_t> done{0}, total{0};
    std::uint32_t shown = 0;
    const auto showProgress = [&] {
        const std::uint32_t now = done;
        if (!progress || now == shown) return;
        shown = now;
        progress->SetRange(0, static_cast<int>(total), 1);
        progress->SetPos(static_cast<int>(now));
    };
    bool stopped = false;
    ImagingEnvironment& imaging = env_.imaging;
    RunBusy(
        [&](const std::stop_token& stop) {
            // The merged pages go to a staging folder of their own: other
            // runs merge at the same time.
            const std::string temp = StagingPath(outbox, "temp.tif");
            const bool merged =
                !temp.empty() && imaging.MergePagesReporting(cover, document, temp,
                                                             [&](std::uint32_t d, std::uint32_t t) {
                                                                 total = t;
                                                                 done = d;
                                                                 return !stop.stop_requested();
                                                             });
            std::error_code ec;
            // The merged file takes the document's place in one step; without
            // a merge, or once stopped, the document stays as it was.
            stopped = stop.stop_requested();
            if (!stopped && merged && fs::is_regular_file(temp, ec)) fs::rename(temp, document, ec);
            RemoveStaged(temp);
            if (!stopped) RemoveStaged(cover);
        },
        progress.get(), showProgress);
    if (progress) progress->Hide();
    return !stopped;
}

std::uint32_t CMainHostDlg::HelpContext(int activeIndex) const {
    // By the page shown: a cover page brought in behind the document page
    // keeps its own topic and moves the schedule page's one place on.
    const WizardPage* page = sheet_.page(activeIndex);
    if (!page) return 0;
    if (page == &recipients_) return 175;
    if (page == document_.get() || page == cover_.get()) return 220;
    if (page == schedule_.get()) return env_.job.attachMode ? 222 : 219;
    return 0;
}

void CMainHostDlg::OnHelp(int activeIndex) {
    std::uint32_t context = HelpContext(activeIndex);
    if (context && env_.help) env_.help->ShowContext(context);
}

bool CMainHostDlg::CanTakePrint() const {
    const FaxJob& job = env_.job;
    return !job.contactMode && !job.attachMode && job.message.documentPath.empty();
}

std::string CMainHostDlg::HandleWindowMessage(const WindowMessage& message) {
    if (message.registeredName.empty() && message.id == WM_RELOADSETTINGS) {
        // Work running off the interface thread reads the settings.
        if (busy_)
            reloadPending_ = true;
        else
            ReloadSettings();
        return {};
    }
    if (message.registeredName.empty() ||
        RegisterWindowMessageA(message.registeredName) != kestroMessage_ ||
        (message.wParam & 3) != 1)
        return {};
    // Taking it here would hide it (no cover page) or drop the document held.
    if (busy_ || !CanTakePrint()) return kAnswerDeclined;
    FaxMessage& fax = env_.job.message;
    if (!env_.imaging.PrepareInitialDocument(env_.commandLine, env_.settings.directory, fax)) {
        fax.documentPath.clear();
        return kAnswerDeclined;
    }
    fax.pageCount = env_.imaging.CountImages(fax.documentPath);
    return kAnswerTaken;
}

void CMainHostDlg::closeEvent(QCloseEvent* event) {
    // Closing the host ends the wizard as Cancel.
    sheet_.EndSheet(CNetFaxPropSheet::kCancelled);
    QDialog::closeEvent(event);
}
