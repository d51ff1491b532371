#pragma once

// A private session bus, named in DBUS_SESSION_BUS_ADDRESS while the object
// lives, with the secret-service stand-in (tests/support/secret_service.py,
// whose path the test's build defines as CORVINAPORT_SECRET_SERVICE) on it,
// or without one.
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <thread>

#include "support/Command.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

class SecretServiceBus {
  public:
    explicit SecretServiceBus(bool withService = true) {
        std::istringstream printed(
            RunCommand("dbus-daemon --session --fork --print-address=1 --print-pid=1 "
                       "--address=unix:tmpdir=/tmp 2>/dev/null")
                .out);
        std::string address;
        std::getline(printed, address);
        printed >> busPid_;
        env_.emplace("DBUS_SESSION_BUS_ADDRESS", address);
        if (!withService) return;
        const std::string script = CORVINAPORT_SECRET_SERVICE;
        const std::string log = folder_.file("service.log");
        servicePid_ = std::atoi(RunCommand("/usr/bin/python3 " + ShellWord(script) + " >" +
                                           ShellWord(log) + " 2>&1 & echo $!")
                                    .out.c_str());
        for (int i = 0; i < 500 && folder_.Read("service.log").find("ready") == std::string::npos;
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~SecretServiceBus() {
        if (servicePid_ > 0) ::kill(servicePid_, SIGTERM);
        if (busPid_ > 0) ::kill(busPid_, SIGTERM);
    }
    SecretServiceBus(const SecretServiceBus&) = delete;
    SecretServiceBus& operator=(const SecretServiceBus&) = delete;

  private:
    TempFolder folder_;
    pid_t busPid_ = -1;
    pid_t servicePid_ = -1;
    std::optional<ScopedEnv> env_;
};
