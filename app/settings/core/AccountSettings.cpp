#include "app/settings/core/AccountSettings.h"

#include <random>

#include "app/core/PasswordStore.h"
#include "app/core/RegistryStore.h"
#include "base/FileReplace.h"
#include "platform/nm_bus/NmBus.h"
#include "transport/FaxSender.h"
#include "transport/HttpRequest.h"

namespace {

const std::string kRoot = "HKEY_LOCAL_MACHINE\\";

void Put(RegistryDocument& doc, const char* keyPath, const char* name, const std::string& value) {
    doc.SetValue(kRoot + keyPath, RegistryValue::String(name, value));
}

}  // namespace

AccountSettings LoadAccountSettings(const AppSettings& settings) {
    AccountSettings v;
    v.userName = settings.general.WebmailUserName;
    v.password = settings.general.WebmailPassword;
    v.emailSuffix = settings.general.EmailSuffix;
    v.serviceAddress = settings.directory.RmMessages;
    v.connectionType = settings.connection.ConnectionType;
    v.dialUpEntry = settings.connection.PrimaryDUN;
    v.installPath = settings.directory.InstallPath;
    v.localFolders = settings.directory.LocalFolders;
    return v;
}

std::vector<std::string> DialUpEntries() {
    const nmbus::Bus bus = nmbus::OpenSystemBus();
    if (!bus) return {};
    return nmbus::DialUpEntryNames(bus.get(), 2000);
}

std::string PasswordPlaceText(PasswordStore* store) {
    if (store && store->Available())
        return TranslatedText(
            QT_TRANSLATE_NOOP("Message", "The password is kept in the desktop's secret store."));
    return TranslatedText(
        QT_TRANSLATE_NOOP("Message",
                          "No secret store is running: the password is kept scrambled in the "
                          "settings file, readable by you alone."));
}

Result<> SaveAccountSettings(const AccountSettings& shown, const AccountSettings& edited,
                             PasswordStore* store) {
    const std::string* folders[] = {&edited.installPath, &edited.localFolders};
    for (const std::string* folder : folders) {
        // A relative folder would depend on where a program happens to start.
        if (!folder->empty() && folder->front() != '/')
            return Fail(*folder + ": not a full path", TranslatedText(kNotFullPathText, *folder));
    }
    for (const std::string* folder : folders) {
        if (folder->empty()) continue;
        if (auto made = EnsurePrivateFolderPath(*folder); !made) return made;
    }
    if (edited == shown) return {};
    const std::string file = RegistryStorePath();
    RegistrySnapshot snap = ReadRegistryFile(file);
    if (snap.error != RegError::Success)
        return Fail(file + ": cannot be read as a registry store file");
    RegistryDocument& doc = snap.document;
    const struct {
        const char* key;
        const char* name;
        std::string AccountSettings::*field;
    } fields[] = {
        {kGeneralKeyPath, "WebmailUserName", &AccountSettings::userName},
        {kGeneralKeyPath, "EmailSuffix", &AccountSettings::emailSuffix},
        {kDirectoryKeyPath, "RmMessages", &AccountSettings::serviceAddress},
        {kConnectionKeyPath, "ConnectionType", &AccountSettings::connectionType},
        {kConnectionKeyPath, "PrimaryDUN", &AccountSettings::dialUpEntry},
        {kDirectoryKeyPath, "InstallPath", &AccountSettings::installPath},
        {kDirectoryKeyPath, "LocalFolders", &AccountSettings::localFolders},
    };
    for (const auto& f : fields) {
        if (edited.*f.field != shown.*f.field) Put(doc, f.key, f.name, edited.*f.field);
    }
    const bool passwordChanged =
        edited.password != shown.password || edited.userName != shown.userName;
    if (passwordChanged) {
        if (store && !edited.userName.empty() && store->Available() &&
            store->Save(edited.userName, edited.password)) {
            (void)doc.DeleteValue(kRoot + kGeneralKeyPath, "WebmailPassword");
        } else {
            std::random_device rd;
            auto scrambled = ScramblePassword(edited.password, static_cast<std::uint8_t>(rd()));
            if (!scrambled) return Fail("the password cannot hold a NUL character");
            Put(doc, kGeneralKeyPath, "WebmailPassword", *scrambled);
        }
    }
    return WriteRegistryFile(file, doc);
}

ServiceCheck CheckService(const GeneralSettings& general, const AccountSettings& edited,
                          int timeoutSeconds) {
    ServiceCheck check;
    if (edited.serviceAddress.empty()) {
        check.text = TranslatedText(kCheckNoAddressText);
        return check;
    }
    GeneralSettings account = general;
    account.WebmailUserName = edited.userName;
    account.WebmailPassword = edited.password;
    HttpRequest location;
    location.maxRequests = 1;
    location.timeoutSeconds = timeoutSeconds;
    const std::string query = BuildServiceQuery(account, "relaymail", "send") + "&end=yes";
    if (!location.PostForm(edited.serviceAddress, query)) {
        check.outcome = ServiceCheck::Outcome::NoAnswer;
        check.text = TranslatedText(kCheckNoAnswerText, location.failure.cause);
        return check;
    }
    const bool gaveAddress =
        !HttpRequest::ExtractReplyValue(location.ReplyHeaders(), kLocationKey).empty();
    check.outcome = gaveAddress ? ServiceCheck::Outcome::Accepted : ServiceCheck::Outcome::Refused;
    check.text = TranslatedText(gaveAddress ? kCheckAcceptedText : kCheckRefusedText);
    return check;
}
