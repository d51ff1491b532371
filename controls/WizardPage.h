#pragma once

#include <QRect>
#include <QString>
#include <QWidget>
#include <string>

class HelpService;
class MessageBoxService;

// Buttons a page asks the sheet to show, with the platform's flag values.
inline constexpr unsigned PSWIZB_BACK = 0x1;
inline constexpr unsigned PSWIZB_NEXT = 0x2;
inline constexpr unsigned PSWIZB_FINISH = 0x4;
inline constexpr unsigned PSWIZB_DISABLEDFINISH = 0x8;

// What a page sees of the sheet that shows it.
class WizardSheet {
  public:
    virtual ~WizardSheet() = default;
    virtual void SetWizardButtons(unsigned flags) = 0;
};

// Gives a control the number of its dialog template, used for help
// requests and by tests to find it.
void SetControlId(QWidget* control, int id);
[[nodiscard]] int ControlId(const QWidget* control);
// Names a field for screen readers and, when it has one, makes its label the
// label's buddy.
void NameField(QWidget* field, const QString& name, class QLabel* label = nullptr);

// One page of the wizard: a template of controls with its caption, the Help
// flag, an optional title, and the sheet's callbacks. The page's controls are
// made in the constructor; OnInitDialog runs once, before the page is first
// shown. Paint gives the white page with the light-blue panel.
class WizardPage : public QWidget {
    Q_OBJECT
  public:
    WizardPage(int templateId, const QString& caption, QWidget* parent = nullptr);

    [[nodiscard]] int templateId() const { return templateId_; }
    [[nodiscard]] const QString& caption() const { return caption_; }
    // Caption shown while the page is active: the title when the use-title
    // flag is set, else the template caption.
    [[nodiscard]] QString shownCaption() const { return useTitle_ ? title_ : caption_; }

    void SetHasHelp(bool on) { hasHelp_ = on; }
    [[nodiscard]] bool hasHelp() const { return hasHelp_; }
    void SetTitle(const QString& title) {
        title_ = title;
        useTitle_ = true;
    }

    void SetSheet(WizardSheet* sheet) { sheet_ = sheet; }
    [[nodiscard]] WizardSheet* sheet() const { return sheet_; }
    void SetHelpService(HelpService* help) { help_ = help; }
    void SetMessageBox(MessageBoxService* box) { messageBox_ = box; }

    // Runs OnInitDialog the first time.
    void EnsureInitialized();
    [[nodiscard]] bool initialized() const { return initialized_; }

    // Sheet callbacks. OnSetActive false keeps the page from being shown;
    // OnWizardBack, OnWizardNext and OnWizardFinish false keep it shown.
    virtual bool OnSetActive() { return true; }
    virtual bool OnWizardBack() { return true; }
    virtual bool OnWizardNext() { return true; }
    virtual bool OnWizardFinish() { return true; }

    // The minimum page size of the templates.
    [[nodiscard]] QSize sizeHint() const override;

  protected:
    virtual void OnInitDialog() {}
    // The light-blue panel in page coordinates; empty for none.
    [[nodiscard]] virtual QRect PanelRect() const { return {}; }

    // The page's refusal or input-error box: caption "Send a Fax - Corvinaport",
    // exclamation icon, OK.
    void Warn(const std::string& text);
    void SetButtons(unsigned flags);
    [[nodiscard]] HelpService* help() const { return help_; }
    [[nodiscard]] MessageBoxService* messageBox() const { return messageBox_; }

    void paintEvent(QPaintEvent* event) override;

  private:
    void OnHelpKey();

    int templateId_;
    QString caption_;
    QString title_;
    bool useTitle_ = false;
    bool hasHelp_ = true;
    bool initialized_ = false;
    WizardSheet* sheet_ = nullptr;
    HelpService* help_ = nullptr;
    MessageBoxService* messageBox_ = nullptr;
};
