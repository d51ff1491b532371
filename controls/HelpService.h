#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/core/Translate.h"

class DocumentOpener;
class MessageBoxService;
class QWidget;

inline constexpr const char* kNoHelpText = QT_TRANSLATE_NOOP(
    "Message",
    "The help could not be opened.\n\nThe help pages are not installed, or no program is set "
    "up to show web pages.");

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

// F1 anywhere in dialog shows the pop-up topic of its focused control,
// through the service help points to at that moment (none: nothing happens).
void AddControlHelpKey(QWidget& dialog, HelpService* const& help);

// Opens the help through the desktop. For a context number: the product's
// own page when a folder named like the help file without its extension
// holds "<number>.html"; else our help page "<number>.html" from the first
// of the help folders that has it; else the product's help file itself, when
// it exists. For a control: the page of the window it sits in. The help
// file's path is asked for at every call, so a reload of the settings takes
// effect. When nothing can be opened the user is told so.
class DesktopHelp final : public HelpService {
  public:
    DesktopHelp(DocumentOpener& opener, std::function<std::string()> helpFile,
                std::vector<std::string> helpFolders = {}, MessageBoxService* messageBox = nullptr)
        : opener_(opener),
          helpFile_(std::move(helpFile)),
          helpFolders_(std::move(helpFolders)),
          messageBox_(messageBox) {}

    void ShowContext(std::uint32_t context) override;
    void ShowControlPopup(std::uint32_t controlId) override;
    void Quit() override {}

    // What would be opened for a context number or a help page name; empty
    // when there is nothing to open, or the name is not a plain page name
    // (letters, digits, '-' and '_': nothing that leaves the folders).
    [[nodiscard]] std::string TargetFor(std::uint32_t context) const;
    [[nodiscard]] std::string TargetFor(const std::string& page) const;
    // What would be opened for a control's pop-up topic.
    [[nodiscard]] std::string PopupTargetFor(std::uint32_t controlId) const;
    // Every folder a help page may come from: the product's own, then ours.
    [[nodiscard]] std::vector<std::string> Folders() const;
    // Opens target through the desktop; tells the user when it cannot.
    void Open(const std::string& target);
    // The help page of the window a widget sits in ("index" for any other).
    [[nodiscard]] static std::string PageOf(const QWidget* widget);

  private:
    DocumentOpener& opener_;
    std::function<std::string()> helpFile_;
    std::vector<std::string> helpFolders_;
    MessageBoxService* messageBox_;
};

// Where the help pages are, for a program in <dir>: <dir>/../share/corvinaport/help,
// the same in the build tree and once installed.
[[nodiscard]] std::string InstalledHelpFolder(const std::string& programDir);
