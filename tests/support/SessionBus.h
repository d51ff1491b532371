#pragma once

// A message bus of the test's own (dbus-daemon), ended with the object.
#include <signal.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "support/Command.h"

// True once the condition holds, polled within a generous bound.
inline bool Eventually(const std::function<bool()>& condition) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > limit) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// A dbus-daemon of the test's own, ended with the object.
class PrivateBus {
  public:
    PrivateBus() {
        std::istringstream printed(
            RunCommand("dbus-daemon --session --fork --print-address=1 --print-pid=1 "
                       "--address=unix:tmpdir=/tmp 2>/dev/null")
                .out);
        std::getline(printed, address_);
        printed >> pid_;
    }
    ~PrivateBus() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::kill(pid_, SIGCONT);  // a stopped one ends too
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    [[nodiscard]] const std::string& address() const { return address_; }
    [[nodiscard]] pid_t pid() const { return pid_; }

    // True once the bus has n connections besides the one asking (the daemon
    // notices a closed connection a moment later).
    [[nodiscard]] bool ClientsBecome(int n) const {
        return Eventually([&] { return Clients() == n; });
    }

  private:
    [[nodiscard]] int Clients() const {
        const CommandResult names = RunCommand(
            "dbus-send --bus=" + ShellWord(address_) +
            " --print-reply --dest=org.freedesktop.DBus / org.freedesktop.DBus.ListNames");
        if (names.status != 0) return -1;
        int n = -1;  // the asking connection is listed too
        for (std::size_t at = 0; (at = names.out.find("string \":", at)) != std::string::npos; ++at)
            ++n;
        return n;
    }

    pid_t pid_ = -1;
    std::string address_;
};
