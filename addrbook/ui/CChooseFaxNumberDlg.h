#pragma once

#include <QDialog>
#include <QTreeWidget>
#include <string>

class ColorLabel;
class HelpService;
class QPushButton;
struct Recipient;

// Asks which of a contact's numbers to fax to: business fax, home fax,
// business phone and home phone, those that are set. The chosen number goes
// into the record's fax number, reduced to its digits on OK or double-click.
class CChooseFaxNumberDlg : public QDialog {
    Q_OBJECT
  public:
    CChooseFaxNumberDlg(Recipient& record, const std::string& prompt, QWidget* parent = nullptr);

    void SetHelpService(HelpService* help) { help_ = help; }

    [[nodiscard]] QTreeWidget* numberList() const { return list_; }
    [[nodiscard]] ColorLabel* promptLabel() const { return label_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }

    void accept() override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    // The fax number becomes the selected row's number; empty without one.
    void TakeSelectedRow();

    Recipient& record_;
    HelpService* help_ = nullptr;
    ColorLabel* label_;
    QTreeWidget* list_;
    QPushButton *ok_, *cancel_;
};
