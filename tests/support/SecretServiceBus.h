#pragma once

// A private session bus, named in DBUS_SESSION_BUS_ADDRESS while the object
// lives, with the secret-service stand-in (tests/support/secret_service.py,
// whose path the test's build defines as CORVINAPORT_SECRET_SERVICE) on it,
// or without one.
#include <signal.h>

#include <cstdlib>
#include <string>

#include "support/Command.h"
#include "support/ScopedEnv.h"
#include "support/SessionBus.h"
#include "support/TempFolder.h"

class SecretServiceBus {
  public:
    explicit SecretServiceBus(bool withService = true) {
        if (!withService) return;
        const std::string log = folder_.file("service.log");
        servicePid_ =
            std::atoi(RunCommand("/usr/bin/python3 " + ShellWord(CORVINAPORT_SECRET_SERVICE) +
                                 " >" + ShellWord(log) + " 2>&1 & echo $!")
                          .out.c_str());
        (void)Eventually(
            [&] { return folder_.Read("service.log").find("ready") != std::string::npos; });
    }
    ~SecretServiceBus() {
        if (servicePid_ > 0) ::kill(servicePid_, SIGTERM);
    }
    SecretServiceBus(const SecretServiceBus&) = delete;
    SecretServiceBus& operator=(const SecretServiceBus&) = delete;

  private:
    PrivateBus bus_;
    ScopedEnv env_{"DBUS_SESSION_BUS_ADDRESS", bus_.address()};
    TempFolder folder_;
    pid_t servicePid_ = -1;
};
