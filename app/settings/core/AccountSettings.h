#pragma once

#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/Translate.h"
#include "base/Failure.h"

class PasswordStore;

// The values the settings window shows, as the settings read them. Everything
// else in the stores is left as it is.
struct AccountSettings {
    std::string userName;        // General WebmailUserName
    std::string password;        // General WebmailPassword, or the secret store's
    std::string emailSuffix;     // General EmailSuffix: the sender is userName@emailSuffix
    std::string serviceAddress;  // Directory RmMessages
    std::string connectionType;  // Connection ConnectionType: "LAN" or "DUN"
    std::string dialUpEntry;     // Connection PrimaryDUN
    std::string installPath;     // Directory InstallPath: the address book's folder
    std::string localFolders;    // Directory LocalFolders

    bool operator==(const AccountSettings&) const = default;
};

// The values of the settings as read now (the stores layered, the password
// through store when one is given).
[[nodiscard]] AccountSettings LoadAccountSettings(const AppSettings& settings);

// Writes the values that differ from shown into the store that is written
// (RegistryStorePath), in one atomic replacement that keeps every other line
// as it was; nothing is written when nothing changed. The password goes to
// the secret store when one answers (and leaves the file), else into the
// file scrambled. The folders are made (0700) when missing. Fails with the
// cause, and the user's sentence for a folder that is not a full path.
Result<> SaveAccountSettings(const AccountSettings& shown, const AccountSettings& edited,
                             PasswordStore* store);

// The dial-up entries NetworkManager knows, by name; empty without it.
[[nodiscard]] std::vector<std::string> DialUpEntries();

// Where the password is kept, in words for the window.
[[nodiscard]] std::string PasswordPlaceText(PasswordStore* store);

// The outcome of the service check: the location request alone, no fax.
struct ServiceCheck {
    enum class Outcome { NoAddress, NoAnswer, Refused, Accepted };
    Outcome outcome = Outcome::NoAddress;
    std::string text;  // in words, in the user's language
};

// Asks the service at edited.serviceAddress for an upload address with the
// account of edited and the other values of general.
[[nodiscard]] ServiceCheck CheckService(const GeneralSettings& general,
                                        const AccountSettings& edited, int timeoutSeconds = 20);

inline constexpr const char* kCheckAcceptedText =
    QT_TRANSLATE_NOOP("Message",
                      "The service answered and gave an upload address: the account "
                      "was accepted.");
inline constexpr const char* kCheckRefusedText =
    QT_TRANSLATE_NOOP("Message",
                      "The service answered but gave no upload address: the account "
                      "was refused. Check the account name and the password.");
inline constexpr const char* kCheckNoAnswerText =
    QT_TRANSLATE_NOOP("Message", "The service did not answer: %1");
inline constexpr const char* kNotFullPathText =
    QT_TRANSLATE_NOOP("Message", "the folder %1 is not a full path (it must begin with /)");
inline constexpr const char* kCheckNoAddressText =
    QT_TRANSLATE_NOOP("Message", "No service address is set.");
