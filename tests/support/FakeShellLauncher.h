#pragma once

#include <string>
#include <vector>

#include "controls/core/ShellLauncher.h"

// Records what would be opened or started and answers at once with set codes.
class FakeLauncher final : public ShellLauncher {
  public:
    int shellResult = 31;
    int startResult = 33;
    std::string desktopCommand;
    std::vector<std::string> opened;
    std::vector<std::vector<std::string>> started;

    void ShellOpen(const std::string& address, int, ResultFn done) override {
        opened.push_back(address);
        done(shellResult);
    }
    int Start(const std::vector<std::string>& argv, int) override {
        started.push_back(argv);
        return startResult;
    }
    void DesktopHtmlCommand(CommandFn done) override { done(desktopCommand); }
};
