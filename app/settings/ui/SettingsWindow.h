#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/settings/core/AccountSettings.h"

class PasswordStore;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings window: the account, the sender's e-mail suffix, the
// service address, how to get on-line and the folders. Check asks the service
// for an upload address (no fax is sent); Save writes what was changed.
class SettingsWindow : public QDialog {
    Q_OBJECT

  public:
    // settings: as loaded now (the window shows their values); store: where
    // the password is kept, when a secret store is at hand (may be null).
    // dialUpEntries: the dial-up entries to offer (NetworkManager's).
    SettingsWindow(const AppSettings& settings, PasswordStore* store,
                   const std::vector<std::string>& dialUpEntries = {}, QWidget* parent = nullptr);

    [[nodiscard]] AccountSettings Edited() const;
    // Saves and closes; stays open with the reason shown under Check when
    // saving fails.
    void accept() override;
    // Runs the check and shows its outcome in words.
    ServiceCheck RunCheck();

    [[nodiscard]] QLineEdit* userNameEdit() const { return userName_; }
    [[nodiscard]] QLineEdit* passwordEdit() const { return password_; }
    [[nodiscard]] QLineEdit* suffixEdit() const { return suffix_; }
    [[nodiscard]] QLineEdit* serviceEdit() const { return service_; }
    [[nodiscard]] QComboBox* connectionBox() const { return connection_; }
    [[nodiscard]] QComboBox* dialUpBox() const { return dialUp_; }
    [[nodiscard]] QLineEdit* addressBookEdit() const { return addressBook_; }
    [[nodiscard]] QLineEdit* localFoldersEdit() const { return localFolders_; }
    [[nodiscard]] QPushButton* checkButton() const { return check_; }
    [[nodiscard]] QLabel* checkResult() const { return checkResult_; }
    [[nodiscard]] QLabel* passwordPlace() const { return passwordPlace_; }

  private:
    void ShowSender();
    void ShowOutcome(const QString& text);

    GeneralSettings general_;
    AccountSettings shown_;
    PasswordStore* store_;
    QLineEdit* userName_;
    QLineEdit* password_;
    QLineEdit* suffix_;
    QLabel* sender_;
    QLineEdit* service_;
    QComboBox* connection_;
    QComboBox* dialUp_;
    QLineEdit* addressBook_;
    QLineEdit* localFolders_;
    QPushButton* check_;
    QLabel* checkResult_;
    QLabel* passwordPlace_;
};
