#include "app/settings/ui/SettingsWindow.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/RegistryStore.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

QLineEdit* Field(QWidget* parent, const std::string& value, const QString& accessibleName) {
    auto* edit = new QLineEdit(Q(value), parent);
    edit->setAccessibleName(accessibleName);
    return edit;
}

}  // namespace

SettingsWindow::SettingsWindow(const AppSettings& settings, PasswordStore* store,
                               const std::vector<std::string>& dialUpEntries, QWidget* parent)
    : QDialog(parent),
      general_(settings.general),
      shown_(LoadAccountSettings(settings)),
      store_(store) {
    setWindowTitle(tr("Fax Settings - Corvinaport"));
    setMinimumWidth(520);
    auto* form = new QFormLayout;

    userName_ = Field(this, shown_.userName, tr("Account name"));
    form->addRow(tr("&Account name:"), userName_);
    password_ = Field(this, shown_.password, tr("Password"));
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(tr("&Password:"), password_);
    passwordPlace_ = new QLabel(Q(PasswordPlaceText(store_)), this);
    passwordPlace_->setWordWrap(true);
    form->addRow(QString(), passwordPlace_);

    suffix_ = Field(this, shown_.emailSuffix, tr("E-mail suffix"));
    form->addRow(tr("E-mail &suffix:"), suffix_);
    sender_ = new QLabel(this);
    sender_->setAccessibleName(tr("Sender address"));
    form->addRow(tr("Sender:"), sender_);

    service_ = Field(this, shown_.serviceAddress, tr("Service address"));
    service_->setPlaceholderText(QStringLiteral("https://"));
    form->addRow(tr("Ser&vice address:"), service_);

    connection_ = new QComboBox(this);
    connection_->setAccessibleName(tr("How to get on-line"));
    connection_->addItem(tr("Local network"), QStringLiteral("LAN"));
    connection_->addItem(tr("Dial-up entry"), QStringLiteral("DUN"));
    connection_->setCurrentIndex(shown_.connectionType == "DUN" ? 1 : 0);
    form->addRow(tr("&Get on-line by:"), connection_);
    dialUp_ = new QComboBox(this);
    dialUp_->setEditable(true);
    dialUp_->setAccessibleName(tr("Dial-up entry"));
    dialUp_->lineEdit()->setAccessibleName(tr("Dial-up entry name"));
    for (const std::string& entry : dialUpEntries) dialUp_->addItem(Q(entry));
    dialUp_->setCurrentText(Q(shown_.dialUpEntry));
    form->addRow(tr("&Dial-up entry:"), dialUp_);

    addressBook_ = Field(this, shown_.installPath, tr("Address-book folder"));
    form->addRow(tr("Add&ress-book folder:"), addressBook_);
    localFolders_ = Field(this, shown_.localFolders, tr("Local folders"));
    form->addRow(tr("&Local folders:"), localFolders_);

    check_ = new QPushButton(tr("&Check"), this);
    check_->setAccessibleName(tr("Check the account with the service"));
    checkResult_ = new QLabel(this);
    checkResult_->setWordWrap(true);
    checkResult_->setAccessibleName(tr("Outcome of the check or of saving"));
    form->addRow(check_);
    form->addRow(checkResult_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsWindow::reject);
    connect(check_, &QPushButton::clicked, this, [this] { (void)RunCheck(); });
    connect(userName_, &QLineEdit::textChanged, this, &SettingsWindow::ShowSender);
    connect(suffix_, &QLineEdit::textChanged, this, &SettingsWindow::ShowSender);
    const auto dialUpShown = [this] { dialUp_->setEnabled(connection_->currentIndex() == 1); };
    connect(connection_, &QComboBox::currentIndexChanged, this, dialUpShown);
    dialUpShown();
    ShowSender();
}

void SettingsWindow::ShowSender() {
    sender_->setText(userName_->text() + QLatin1Char('@') + suffix_->text());
}

AccountSettings SettingsWindow::Edited() const {
    AccountSettings v = shown_;
    v.userName = userName_->text().trimmed().toStdString();
    v.password = password_->text().toStdString();
    v.emailSuffix = suffix_->text().trimmed().toStdString();
    v.serviceAddress = service_->text().trimmed().toStdString();
    const std::string type = connection_->currentData().toString().toStdString();
    // A type the window does not offer is kept while local network stays chosen.
    if (!(type == "LAN" && shown_.connectionType != "DUN")) v.connectionType = type;
    v.dialUpEntry = dialUp_->currentText().trimmed().toStdString();
    v.installPath = addressBook_->text().trimmed().toStdString();
    v.localFolders = localFolders_->text().trimmed().toStdString();
    // Folder values are joined to names directly: they end with "/".
    for (std::string* folder : {&v.installPath, &v.localFolders}) {
        if (folder->starts_with("~/")) folder->replace(0, 1, HomeFolder());
        if (!folder->empty() && folder->back() != '/') folder->push_back('/');
    }
    return v;
}

ServiceCheck SettingsWindow::RunCheck() {
    checkResult_->setText(tr("Asking the service..."));
    check_->setEnabled(false);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    ServiceCheck outcome = CheckService(general_, Edited());
    QGuiApplication::restoreOverrideCursor();
    check_->setEnabled(true);
    ShowOutcome(Q(outcome.text));
    return outcome;
}

void SettingsWindow::ShowOutcome(const QString& text) {
    checkResult_->setText(text);
    // The text may take more lines than the window has room for.
    layout()->activate();
    resize(width(), std::max(height(), sizeHint().height()));
}

void SettingsWindow::accept() {
    if (auto saved = SaveAccountSettings(shown_, Edited(), store_); !saved) {
        ShowOutcome(tr("The settings could not be saved: %1").arg(Q(saved.failure().text())));
        return;
    }
    QDialog::accept();
}
