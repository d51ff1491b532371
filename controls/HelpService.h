#pragma once

#include <cstdint>
#include <functional>
#include <string>

class DocumentOpener;

// The product's help, shown at a context number, or as the pop-up topic of
// a control.
class HelpService {
  public:
    virtual ~HelpService() = default;
    virtual void ShowContext(std::uint32_t context) = 0;
    virtual void ShowControlPopup(std::uint32_t controlId) = 0;
    // Closes whatever help the program opened.
    virtual void Quit() = 0;
};

// Opens the product's help through the desktop: when a folder named like the
// help file without its extension holds "<number>.html", that page; else the
// help file itself. The path is asked for at every call, so a reload of the
// settings takes effect.
class DesktopHelp final : public HelpService {
  public:
    DesktopHelp(DocumentOpener& opener, std::function<std::string()> helpFile)
        : opener_(opener), helpFile_(std::move(helpFile)) {}

    void ShowContext(std::uint32_t context) override;
    void ShowControlPopup(std::uint32_t controlId) override;
    void Quit() override {}

    // What would be opened for a context number.
    [[nodiscard]] std::string TargetFor(std::uint32_t context) const;

  private:
    DocumentOpener& opener_;
    std::function<std::string()> helpFile_;
};
