#include "wizard/CMainHostDlg.h"

#include <QElapsedTimer>

#include <unistd.h>

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/AppSettings.h"
#include "app/MessageBoxService.h"
#include "app/TaskProgress.h"
#include "controls/HelpService.h"
#include "controls/Look.h"
#include "imaging/ImagingEnvironment.h"
#include "res/wizard/Resources.h"
#include "wizard/FaxJob.h"
#include "wizard/FileReplace.h"

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

}  // namespace

CMainHostDlg::CMainHostDlg(HostEnvironment env, FinishSteps steps, QWidget* parent)
    : QDialog(parent),
      env_(std::move(env)),
      steps_(std::move(steps)),
      document_(env_.job),
      recipients_(env_.job),
      cover_(env_.job, env_.settings.directory, env_.imaging),
      schedule_() {
    // Template 102.
    setWindowTitle(tr("Send a Fax"));
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

    for (WizardPage* p :
         {static_cast<WizardPage*>(&recipients_), static_cast<WizardPage*>(&document_),
          static_cast<WizardPage*>(&cover_), static_cast<WizardPage*>(&schedule_)}) {
        p->SetHelpService(env_.help);
        p->SetMessageBox(&env_.messageBox);
    }
    document_.SetOpener(env_.opener);
    cover_.SetOpener(env_.opener);
    if (steps_.logoPicker) cover_.SetPickerRunner(steps_.logoPicker);
    if (steps_.addressBook) recipients_.SetAddressBookRunner(steps_.addressBook);
    if (steps_.distributionList) recipients_.SetListRunner(steps_.distributionList);
    if (steps_.filePicker) document_.SetFilePicker(steps_.filePicker);

    if (steps_.preview) {
        cover_.SetPreviewRunner(steps_.preview);
        schedule_.SetPreviewRunner(steps_.preview);
    }
    schedule_.SetPreviewDocuments([this] { return PreviewDocuments(); });
    sheet_.SetFinishCheck([this] { return CheckBeforeFinish(); });
    connect(&sheet_, &CNetFaxPropSheet::helpRequested, this, &CMainHostDlg::OnHelp);
}

CMainHostDlg::~CMainHostDlg() {
    // What the window's destruction did: empty the lists, close the help.
    env_.job.ClearRecipients();
    env_.job.ClearAttachments();
    // A cover composed but never merged (the wizard was cancelled).
    RemoveStaged(cover_.coverFilePath());
    if (env_.help) env_.help->Quit();
    if (listener_) listener_->Close();
}

std::vector<std::string> CMainHostDlg::PreviewDocuments() const {
    std::vector<std::string> files;
    if (cover_.initialized() && cover_.sendCoverSheet() && !cover_.coverFilePath().empty())
        files.push_back(cover_.coverFilePath());
    const FaxJob& job = env_.job;
    if (job.attachMode && !job.AttachmentList.empty())
        files.push_back(job.AttachmentList.front());
    else if (!job.message.documentPath.empty())
        files.push_back(job.message.documentPath);
    return files;
}

void CMainHostDlg::BuildPageSet() {
    if (built_) return;
    built_ = true;
    if (env_.job.contactMode) {
        recipients_.SetHasHelp(false);
        document_.SetHasHelp(false);
        schedule_.SetHasHelp(false);
        recipients_.SetTitle(tr("Send an Internet Fax - Enter Fax Number"));
        document_.SetTitle(tr("Send an Internet Fax - Add File"));
        schedule_.SetTitle(tr("Send an Internet Fax - Schedule Fax"));
        sheet_.SetHasHelp(false);
        sheet_.AddPage(&recipients_);
        sheet_.AddPage(&document_);
        sheet_.AddPage(&schedule_);
    } else {
        sheet_.AddPage(&recipients_);
        if (env_.job.attachMode)
            sheet_.AddPage(&document_);
        else
            sheet_.AddPage(&cover_);
        sheet_.AddPage(&schedule_);
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
    return exec();
}

bool CMainHostDlg::CheckBeforeFinish() {
    // The attached file is read only now: tell the user when it went away
    // since it was picked, and let them pick it again.
    FaxJob& job = env_.job;
    if (!job.attachMode || job.AttachmentList.empty()) return true;
    const std::string& path = job.AttachmentList.front();
    if (Readable(path)) return true;
    (void)env_.messageBox.Show(
        tr("The file you attached cannot be read:\n%1\nPlease add the file again.")
            .arg(QString::fromStdString(path))
            .toStdString(),
        kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
    for (int i = 0; i < sheet_.pageCount(); ++i)
        if (sheet_.page(i) == &document_) (void)sheet_.SetActivePage(i);
    return false;
}

void CMainHostDlg::Finish() {
    FaxJob& job = env_.job;
    FaxMessage& message = job.message;
    if (job.attachMode && !job.AttachmentList.empty() && steps_.stageAttachment) {
        const std::string attached = job.AttachmentList.front();
        message.documentPath = steps_.stageAttachment(attached);
        if (!Exists(message.documentPath)) {
            // Sending or storing a fax without its document would report
            // success for nothing; the attached file is where it was.
            (void)env_.messageBox.Show(
                tr("The file could not be copied to the Corvinaport Outbox folder:\n%1outbox/\n"
                   "Your fax was not sent. The file you attached is still in:\n%2")
                    .arg(QString::fromStdString(env_.settings.directory.LocalFolders),
                         QString::fromStdString(attached))
                    .toStdString(),
                kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
            return;
        }
    }
    if (steps_.buildRecipientLine) message.to = steps_.buildRecipientLine();
    // The cover page counts only where the wizard showed it.
    if (cover_.initialized() && cover_.sendCoverSheet()) MergeCoverSheet();

    if (schedule_.sendNow) {
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

void CMainHostDlg::SaveToOutbox() {
    const std::string document = env_.job.message.documentPath;
    const bool saved = steps_.saveToOutbox && steps_.saveToOutbox("outbox");
    // A stored fax has taken its document along; one still in its place was
    // not stored, and the user must know where it is.
    std::string name = document.substr(document.find_last_of('/') + 1);
    const bool left = name.size() >= 2 && Exists(document);
    if (saved && !left) return;
    std::string text = tr("Your fax could not be saved in the Corvinaport Outbox.").toStdString();
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
    std::error_code ec;
    const std::string& printed = env_.job.message.documentPath;
    if (document && !env_.job.attachMode && inOutbox(printed)) fs::remove(printed, ec);
    const std::string& cover = cover_.coverFilePath();
    if (inOutbox(cover) && cover != printed) fs::remove(cover, ec);
}

void CMainHostDlg::MergeCoverSheet() {
    FaxMessage& message = env_.job.message;
    const std::string cover = cover_.coverFilePath();
    if (cover.empty()) return;
    // The merged pages go to a staging folder of their own: other runs
    // merge at the same time.
    const std::string temp =
        StagingPath(env_.settings.directory.LocalFolders + "outbox/", "temp.tif");
    // A long document takes a while: the window shows how far the merge is
    // and keeps answering.
    std::unique_ptr<TaskProgress> progress =
        steps_.mergeProgress ? steps_.mergeProgress() : nullptr;
    if (progress) {
        progress->SetText(tr("Adding the cover sheet to your fax...").toStdString());
        progress->Show();
        progress->PumpMessages(false);
    }
    QElapsedTimer sincePump;
    sincePump.start();
    const auto onPage = [&progress, &sincePump](std::uint32_t done, std::uint32_t total) {
        if (!progress || (done < total && sincePump.elapsed() < 30)) return;
        progress->SetRange(0, static_cast<int>(total), 1);
        progress->SetPos(static_cast<int>(done));
        progress->PumpMessages(false);
        sincePump.restart();
    };
    const bool merged = env_.imaging.MergePagesReporting(cover, message.documentPath, temp, onPage);
    if (progress) progress->Hide();
    std::error_code ec;
    // The merged file takes the document's place in one step; without a
    // merge the document stays as it was.
    if (merged && fs::is_regular_file(temp, ec)) {
        fs::rename(temp, message.documentPath, ec);
    }
    RemoveStaged(temp);
    RemoveStaged(cover);
}

std::uint32_t CMainHostDlg::HelpContext(int activeIndex) const {
    switch (activeIndex) {
        case 0:
            return 175;
        case 1:
            return 220;
        case 2:
            return env_.job.attachMode ? 222 : 219;
        default:
            return 0;
    }
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
        env_.settings.general.Load();
        env_.settings.directory.Load();
        env_.settings.connection.Load();
        return {};
    }
    if (message.registeredName.empty() ||
        RegisterWindowMessageA(message.registeredName) != kestroMessage_ ||
        (message.wParam & 3) != 1)
        return {};
    // Taking it here would hide it (no cover page) or drop the document held.
    if (!CanTakePrint()) return kAnswerDeclined;
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
