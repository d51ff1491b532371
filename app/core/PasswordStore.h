#pragma once

#include <optional>
#include <string>

// Where the account password is kept apart from the registry store: the
// desktop's secret store, looked up by the account's name.
class PasswordStore {
  public:
    virtual ~PasswordStore() = default;
    // True when a secret store answers now.
    [[nodiscard]] virtual bool Available() = 0;
    // The password kept for the account; nullopt when none is kept or the
    // store does not answer.
    [[nodiscard]] virtual std::optional<std::string> Lookup(const std::string& account) = 0;
    [[nodiscard]] virtual bool Save(const std::string& account, const std::string& password) = 0;
    // True when nothing is kept for the account afterwards.
    virtual bool Remove(const std::string& account) = 0;
};

// The store the settings read the password through; none installed (the
// default): the scrambled registry value only. Not owned.
void InstallPasswordStore(PasswordStore* store);
[[nodiscard]] PasswordStore* InstalledPasswordStore();

// The account's password as the settings hold it. Without an answering
// store, the registry's (descrambled) value. With one: a scrambled value
// found in the store that is written (RegistryStorePath) is moved into the
// secret store once and that file rewritten without it; otherwise the kept
// secret, and failing that the registry's value (a system store's).
[[nodiscard]] std::string ResolveAccountPassword(const std::string& account,
                                                 const std::string& registryPassword,
                                                 PasswordStore* store);

// Takes the scrambled WebmailPassword out of the store file; true when the
// file holds none afterwards.
[[nodiscard]] bool RemoveScrambledPassword(const std::string& storeFile);
