#include "controls/WizardPage.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QShortcut>

#include "app/core/MessageBoxService.h"
#include "controls/HelpService.h"
#include "controls/Look.h"

void SetControlId(QWidget* control, int id) {
    control->setProperty("controlId", id);
    if (control->objectName().isEmpty()) control->setObjectName(QStringLiteral("c%1").arg(id));
}

int ControlId(const QWidget* control) {
    return control ? control->property("controlId").toInt() : 0;
}

void NameField(QWidget* field, const QString& name, QLabel* label) {
    field->setAccessibleName(name);
    if (label) label->setBuddy(field);
}

WizardPage::WizardPage(int templateId, const QString& caption, QWidget* parent)
    : QWidget(parent), templateId_(templateId), caption_(caption) {
    QFont f(QString::fromLatin1(look::kFace));
    f.setPointSize(8);
    setFont(f);
    auto* helpKey = new QShortcut(QKeySequence::HelpContents, this);
    helpKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(helpKey, &QShortcut::activated, this, &WizardPage::OnHelpKey);
}

void WizardPage::EnsureInitialized() {
    if (initialized_) return;
    initialized_ = true;
    OnInitDialog();
}

QSize WizardPage::sizeHint() const {
    // The wizard page templates are 317 x 193 dialog units.
    return look::DialogUnits(*this, 317, 193).expandedTo(QWidget::sizeHint());
}

void WizardPage::Warn(const std::string& text) {
    if (messageBox_)
        (void)messageBox_->Show(text, kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
}

void WizardPage::SetButtons(unsigned flags) {
    if (sheet_) sheet_->SetWizardButtons(flags);
}

void WizardPage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    look::PaintPage(p, *this, PanelRect());
}

void WizardPage::OnHelpKey() {
    // Help on a control shows its pop-up topic; elsewhere the sheet's Help
    // button is the way to the page's help.
    QWidget* focus = QApplication::focusWidget();
    int id = ControlId(focus);
    if (help_ && id != 0 && isAncestorOf(focus)) help_->ShowControlPopup(static_cast<unsigned>(id));
}
