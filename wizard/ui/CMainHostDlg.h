#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <vector>

#include "app/core/Translate.h"
#include "app/window_messages/WindowMessage.h"
#include "pages/CAttachFile.h"
#include "pages/CScheduleFax.h"
#include "pages/CSelCover.h"
#include "pages/CSelRecipient.h"
#include "wizard/ui/CNetFaxPropSheet.h"

struct AppSettings;
struct FaxJob;
class DocumentOpener;
class HelpService;
class ImagingEnvironment;
class MessageBoxService;
class TaskProgress;
class WindowMessageListener;

// What the host dialog uses of the program around it.
struct HostEnvironment {
    FaxJob& job;
    AppSettings& settings;
    ImagingEnvironment& imaging;
    MessageBoxService& messageBox;
    // The program's command line, for the printed-document hand-over.
    std::string commandLine;
    HelpService* help = nullptr;
    DocumentOpener* opener = nullptr;
    // Listen for window messages from outside while the wizard runs.
    bool listenForMessages = true;
    // Where and under which number: MessageFolder() and the process id when
    // left empty (tests run several wizards in one process).
    std::string messageFolder;
    long messageId = 0;
};

// The steps of the Finish procedure that other parts of the program carry out.
struct FinishSteps {
    // Copies an attached file into the outbox folder under storedName (its
    // own name when empty); the copy's path, empty when it failed. Runs on a
    // worker thread while the interface keeps answering.
    std::function<std::string(const std::string& attachedPath, const std::string& storedName)>
        stageAttachment;
    // The recipient line of the job's RecipientList.
    std::function<std::string()> buildRecipientLine;
    // True when the PC is on-line, after getting on-line if need be.
    std::function<bool(QWidget* owner)> ensureOnline;
    // Sends the job now, telling the user the outcome; true when accepted.
    std::function<bool()> sendFax;
    // Stores the job under LocalFolders + folderName; false when it failed.
    // Runs on a worker thread while the interface keeps answering.
    std::function<bool(const std::string& folderName)> saveToOutbox;
    // Runs the address-book dialog for the recipients page.
    CSelRecipient::AddressBookRunner addressBook;
    // Adds a distribution list's members for the recipients page.
    CSelRecipient::AddressBookRunner distributionList;
    // Asks for the documents to attach; the system's file dialog when empty.
    CAttachFile::FilePicker filePicker;
    // Runs the logo picker of the cover page; the page's own when empty.
    CSelCover::PickerRunner logoPicker;
    // A progress window for the long steps of Finish (merging the cover in
    // front of the document, preparing and storing several documents); none
    // is shown when empty.
    std::function<std::unique_ptr<TaskProgress>()> mergeProgress;
    // Shows the pages of a preview; the program's page viewer when empty.
    PreviewRunner preview;
    // Opens the Outbox window, offered beside the "saved" box; none when empty.
    std::function<void()> openOutbox;
};

// The host of the wizard: it builds the sheet with its three pages, runs it,
// and on Finish sends the fax or stores it in the outbox. While the wizard
// runs it receives the settings reload and the printed-document hand-over.
class CMainHostDlg : public QDialog {
    Q_OBJECT
  public:
    CMainHostDlg(HostEnvironment env, FinishSteps steps, QWidget* parent = nullptr);
    ~CMainHostDlg() override;

    // Builds the page set, runs the wizard and acts on its end; the dialog's
    // own template is shown only when the wizard ends in another way.
    int DoModal();

    // Parts of DoModal, for those who drive the wizard step by step.
    void BuildPageSet();
    void Finish();
    // Puts the cover in front of the printed pages, on a worker thread while
    // the progress window answers; false when the user stopped it (the
    // document and the cover are then as they were).
    [[nodiscard]] bool MergeCoverSheet();
    // The files of the fax as Finish will send them: the cover sheet when one
    // is wanted, then the documents (the attached files before they are
    // staged) in their order.
    [[nodiscard]] std::vector<std::string> PreviewDocuments() const;
    // True when the fax gets the cover composed on the cover page: the page
    // is in the wizard, was shown, and its box is checked.
    [[nodiscard]] bool CoverWanted() const;

    // Opens the help at the context of the active page.
    void OnHelp(int activeIndex);
    // The help context of a page index; 0 for none.
    [[nodiscard]] std::uint32_t HelpContext(int activeIndex) const;
    // Acts on a message from outside; the answer for its sender: for the
    // printed-document hand-over kAnswerTaken or kAnswerDeclined (a wizard
    // for an attached file or a contact, or one that holds a printed
    // document already, leaves the print to a wizard of its own).
    std::string HandleWindowMessage(const WindowMessage& message);
    // True while a printed document may still be handed to this wizard.
    [[nodiscard]] bool CanTakePrint() const;

    // The message shown before a fax goes to the outbox.
    static constexpr const char* kSavedText = QT_TRANSLATE_NOOP(
        "Message",
        "Your fax will be saved. You may send it later\nby accessing Corvinaport Outbox.");
    static constexpr const char* kSavedCaption = QT_TRANSLATE_NOOP("Message", "Corvinaport");

    [[nodiscard]] CNetFaxPropSheet& sheet() { return sheet_; }
    [[nodiscard]] CSelRecipient& recipientsPage() { return recipients_; }
    // The pages after the first are made on first use.
    [[nodiscard]] CAttachFile& documentPage();
    [[nodiscard]] CSelCover& coverPage();
    [[nodiscard]] CScheduleFax& schedulePage();
    [[nodiscard]] WindowMessageListener* listener() const { return listener_; }
    [[nodiscard]] std::uint32_t kestroMessage() const { return kestroMessage_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool CheckBeforeFinish();
    void SaveToOutbox();
    // Removes what this run put into the outbox folder and will not send:
    // the printed document on Cancel, a composed cover that was not merged.
    void RemoveUnsent(bool document);
    void ShowSaved();
    // Stages every attached file under a name of its own, the cover first
    // when one goes along; false (told, nothing left staged) on a failure.
    bool StageAttachments();
    // A window kept answering while a fax of several documents is prepared
    // or stored; none for one document.
    [[nodiscard]] std::unique_ptr<TaskProgress> BusyWindow(const QString& text);
    // Brings the cover page in behind the document page, or takes it out.
    void OfferCoverPage(bool on);
    // Runs work off the interface thread (RunInBackground); a settings
    // reload that arrives meanwhile is applied once the work has ended, and
    // a print offered meanwhile is declined.
    void RunBusy(const std::function<void(std::stop_token)>& work, TaskProgress* progress,
                 const std::function<void()>& eachTurn = {});
    void ReloadSettings();
    // Hands a page the help and the message boxes.
    void Wire(WizardPage& page);
    void TitleForContacts(WizardPage& page, const QString& title);
    // The host's own controls, for the rare end that shows it.
    void BuildOwnTemplate();

    HostEnvironment env_;
    FinishSteps steps_;
    std::uint32_t kestroMessage_ = 0;
    WindowMessageListener* listener_ = nullptr;
    // The sheet comes first, so that it goes after the pages it shows.
    CNetFaxPropSheet sheet_;
    CSelRecipient recipients_;
    std::unique_ptr<CAttachFile> document_;
    std::unique_ptr<CSelCover> cover_;
    std::unique_ptr<CScheduleFax> schedule_;
    bool built_ = false;
    bool ownTemplate_ = false;
    bool busy_ = false;
    bool reloadPending_ = false;
};
