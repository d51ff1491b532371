#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "controls/HelpService.h"

class HelpWindow;

// The help shown in the program's own help window, one per program, reused
// and raised at every call; the page is chosen as DesktopHelp chooses it. A
// product's help file that is not a page goes to the desktop; links to the
// web or mail go there too. When nothing can be shown the user is told so.
class BuiltInHelp final : public HelpService {
  public:
    BuiltInHelp(DocumentOpener& opener, std::function<std::string()> helpFile,
                std::vector<std::string> helpFolders = {}, MessageBoxService* messageBox = nullptr);
    ~BuiltInHelp() override;

    void ShowContext(std::uint32_t context) override;
    void ShowControlPopup(std::uint32_t controlId) override;
    // Closes the help window.
    void Quit() override;

    // The window, once help was asked for.
    [[nodiscard]] HelpWindow* window() const { return window_.get(); }

  private:
    void Show(const std::string& target);

    DesktopHelp pages_;
    DocumentOpener& opener_;
    MessageBoxService* messageBox_;
    std::unique_ptr<HelpWindow> window_;
};
