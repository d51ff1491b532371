#pragma once

#include <QString>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "app/core/MessageBoxService.h"
#include "controls/WizardPage.h"

class ColorLabel;
class HyperLink;
class IconButton;
class QGridLayout;
class QLineEdit;
class QListView;
class QPushButton;
class QVBoxLayout;
class ShellLauncher;
struct FaxJob;
struct Recipient;

// First page of the wizard: fax numbers typed in, or recipients picked from
// the address book, collected in the job's RecipientList.
class CSelRecipient : public WizardPage {
    Q_OBJECT
  public:
    // Where the "Get Zephrim Now" link leads.
    static constexpr const char* kServiceSite = "https://www.corvinaport.example/";

    explicit CSelRecipient(FaxJob& job, QWidget* parent = nullptr);

    // Runs the address-book dialog modally; true when it ended with OK, in
    // which case it has rebuilt the job's RecipientList.
    using AddressBookRunner = std::function<bool(QWidget* parent, FaxJob& job)>;
    void SetAddressBookRunner(AddressBookRunner runner) { addressBook_ = std::move(runner); }
    // Adds the members of a distribution list the user picks, in one step;
    // true when it changed RecipientList. Its button shows once one is set.
    void SetListRunner(AddressBookRunner runner);
    // Where the "Get Zephrim Now" link opens its address (the desktop's
    // when none is set). Takes effect when the page is initialised.
    void SetShellLauncher(ShellLauncher* launcher) { launcher_ = launcher; }

    // The add procedure: true when an entry was added to the list. A number
    // is taken by its digits whatever their count; an address typed into the
    // number field (holding "@" and ".") becomes an e-mail recipient.
    bool AddRecipient();
    void RemoveSelected();
    void OpenAddressBook();
    void AddDistributionList();
    // The list box shows RecipientList again, in list order.
    void RefillList();

    bool OnSetActive() override;
    bool OnWizardNext() override;

    // The page's members, as last read from the controls.
    std::string firstName, number, lastName, email;

    [[nodiscard]] QLineEdit* numberEdit() const { return numberEdit_; }
    [[nodiscard]] QLineEdit* firstNameEdit() const { return firstEdit_; }
    [[nodiscard]] QLineEdit* lastNameEdit() const { return lastEdit_; }
    [[nodiscard]] QLineEdit* emailEdit() const { return emailEdit_; }
    [[nodiscard]] QPushButton* addButton() const { return addButton_; }
    [[nodiscard]] QPushButton* removeButton() const { return removeButton_; }
    // The list box; its model's rows are the lines (display text, and the
    // record under kRecipientRole).
    [[nodiscard]] QListView* list() const { return list_; }
    [[nodiscard]] ColorLabel* toLabel() const { return toLabel_; }
    [[nodiscard]] ColorLabel* numberLabel() const { return numberLabel_; }
    [[nodiscard]] IconButton* bookButton() const { return bookButton_; }
    [[nodiscard]] QPushButton* listButton() const { return listButton_; }
    [[nodiscard]] ColorLabel* titleLabel() const { return titleLabel_; }
    // The "Get Zephrim Now" link, made at initialisation; null while
    // fax numbers are allowed.
    [[nodiscard]] HyperLink* serviceLink() const { return serviceLink_; }
    static constexpr int kRecipientRole = Qt::UserRole + 1;
    // The record of the list box's line at row; null outside the list.
    [[nodiscard]] Recipient* RecipientAt(int row) const;
    [[nodiscard]] int lineCount() const;
    // The list box's order of lines: without regard to case, then by code.
    [[nodiscard]] static bool ShownBefore(const QString& a, const QString& b);

    // A line of the list box: its record, whose display line it shows. The
    // text is made when it is asked for, so a list of many thousands keeps
    // no second copy of every line.
    struct Line {
        Recipient* record;
        [[nodiscard]] QString text() const;
    };
    // The lines of records in the order the list box shows them; eachLine,
    // when given, sees every line once.
    [[nodiscard]] static std::vector<Line> SortedLines(
        const std::list<std::unique_ptr<Recipient>>& records,
        const std::function<void(const std::string&)>& eachLine = {});

  protected:
    void OnInitDialog() override;
    [[nodiscard]] QRect PanelRect() const override;

  private:
    // The page's rows: the number with its address book, the optional name,
    // and the list with its buttons.
    void AddNumberRows(QGridLayout& grid);
    void AddNameRows(QGridLayout& grid);
    void AddListRows(QGridLayout& grid);
    void ConnectControls();
    void ReadFields();
    void WriteFields();
    void AddLine(Recipient* record);
    // Sizes the lines for the widest of the job's lines.
    void MeasureLines();

    // The list box's lines all take the size of its widest line.
    class WidestLine;
    // The list box's lines, in their order: one model row each.
    class Lines;

    // The link reports through whichever box the page has when it is clicked.
    class PageBoxes final : public MessageBoxService {
      public:
        explicit PageBoxes(CSelRecipient& page) : page_(page) {}
        MbResult Show(const std::string& text, const std::string& caption, MbButtons buttons,
                      MbIcon icon) override;

      private:
        CSelRecipient& page_;
    };

    FaxJob& job_;
    AddressBookRunner addressBook_, listRunner_;
    ShellLauncher* launcher_ = nullptr;
    PageBoxes linkBoxes_{*this};
    QVBoxLayout* column_;
    QLineEdit *numberEdit_, *firstEdit_, *lastEdit_, *emailEdit_;
    QPushButton *addButton_, *removeButton_, *listButton_;
    QListView* list_;
    Lines* lines_;
    WidestLine* widest_;
    ColorLabel *toLabel_, *titleLabel_, *numberLabel_, *nameLabel_, *firstLabel_, *lastLabel_,
        *listLabel_;
    HyperLink* serviceLink_ = nullptr;
    IconButton* bookButton_;
    QWidget* emailLabel_;
};
