#pragma once

#include <optional>
#include <string>

#include "app/core/PasswordStore.h"

// The account password in the desktop's secret store (the Secret Service on
// the session bus), kept under the account's name in the default collection.
// Each call opens a session with the service and ends it again; a session
// bus that goes away ends nothing else in the process, and one that does not
// answer holds no call longer than a bounded time (the store then counts as
// not running).
class SecretServicePasswordStore final : public PasswordStore {
  public:
    [[nodiscard]] bool Available() override;
    [[nodiscard]] std::optional<std::string> Lookup(const std::string& account) override;
    [[nodiscard]] bool Save(const std::string& account, const std::string& password) override;
    bool Remove(const std::string& account) override;
};
