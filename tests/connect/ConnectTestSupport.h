#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "connect/NetworkState.h"
#include "connect/RasDialer.h"
#include "support/RegText.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

using Strings = std::vector<std::string>;

// An address of an interface.
inline InterfaceAddress If(const char* name, const char* address, bool up = true,
                           bool loopback = false, int family = 4, bool pointToPoint = false) {
    return {name, address, family, up, loopback, pointToPoint};
}

// A network whose state and interfaces the test sets.
class FakeNetworkState final : public NetworkState {
  public:
    bool GetConnectedState(std::uint32_t& f) override {
        ++stateQueries;
        f = flags;
        return flags != 0;
    }
    std::vector<InterfaceAddress> Interfaces() override { return interfaces; }

    std::uint32_t flags = 0;
    std::vector<InterfaceAddress> interfaces;
    int stateQueries = 0;
};

// A file of the test's, named by an environment variable while the object
// lives: the registry store, the dial-up script and log, the client's state.
// Without content the file is not made.
class EnvFile {
  public:
    explicit EnvFile(const char* variable, const std::string& content = "")
        : env_(variable, dir_.file("file")) {
        if (!content.empty()) Write(content);
    }

    void Write(const std::string& content) const { dir_.Write("file", content); }
    [[nodiscard]] std::string Read() const { return dir_.Read("file"); }
    [[nodiscard]] std::string path() const { return dir_.file("file"); }

  private:
    TempFolder dir_;
    ScopedEnv env_;
};

// A registry store holding these lines, e.g. "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n".
inline std::string Store(const std::string& body) { return kRegHeader + body; }

// Looks the entry up; the result code. The library never claims a stored password.
inline std::uint32_t LookUp(RasDialer& dialer, const char* entry, RASDIALPARAMSA& p) {
    p = RASDIALPARAMSA{};
    p.dwSize = sizeof p;
    std::strcpy(p.szEntryName, entry);
    std::strcpy(p.szPassword, "left over");
    std::int32_t stored = 1;
    const std::uint32_t rc = dialer.GetEntryDialParams(p, stored);
    EXPECT_EQ(stored, 0);
    return rc;
}
