#include "app/core/PasswordStore.h"

#include "app/core/AppSettings.h"
#include "app/core/RegistryStore.h"

namespace {

PasswordStore*& Installed() {
    static PasswordStore* store = nullptr;
    return store;
}

const std::string& GeneralPath() {
    static const std::string path = std::string("HKEY_LOCAL_MACHINE\\") + kGeneralKeyPath;
    return path;
}

}  // namespace

void InstallPasswordStore(PasswordStore* store) { Installed() = store; }

PasswordStore* InstalledPasswordStore() { return Installed(); }

bool RemoveScrambledPassword(const std::string& storeFile) {
    RegistrySnapshot snap = ReadRegistryFile(storeFile);
    if (snap.error != RegError::Success) return false;
    if (!snap.document.DeleteValue(GeneralPath(), "WebmailPassword")) return true;
    return WriteRegistryFile(storeFile, snap.document).ok();
}

std::string ResolveAccountPassword(const std::string& account, const std::string& registryPassword,
                                   PasswordStore* store) {
    if (!store || account.empty() || !store->Available()) return registryPassword;
    const std::string own = RegistryStorePath();
    const RegistrySnapshot snap = ReadRegistryFile(own);
    const RegistryValue* stored = snap.document.FindValue(GeneralPath(), "WebmailPassword");
    if (stored && !registryPassword.empty() &&
        DescramblePassword(stored->Text()) == registryPassword) {
        // Moved once: the file loses the value only after the secret is kept.
        if (store->Save(account, registryPassword)) (void)RemoveScrambledPassword(own);
        return registryPassword;
    }
    if (auto kept = store->Lookup(account)) return *kept;
    return registryPassword;
}
