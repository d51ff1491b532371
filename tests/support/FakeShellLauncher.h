#pragma once

#include <string>
#include <vector>

#include "controls/HyperLink.h"

// Records what would be opened or started and answers with set codes.
class FakeLauncher final : public ShellLauncher {
  public:
    int shellResult = 31;
    int startResult = 33;
    std::string desktopCommand;
    std::vector<std::string> opened;
    std::vector<std::vector<std::string>> started;

    int ShellOpen(const std::string& address, int) override {
        opened.push_back(address);
        return shellResult;
    }
    int Start(const std::vector<std::string>& argv, int) override {
        started.push_back(argv);
        return startResult;
    }
    std::string DesktopHtmlCommand() override { return desktopCommand; }
};
