#include "controls/BuiltInHelp.h"

#include <filesystem>
#include <utility>

#include "controls/DocumentOpener.h"
#include "controls/HelpWindow.h"

BuiltInHelp::BuiltInHelp(DocumentOpener& opener, std::function<std::string()> helpFile,
                         std::vector<std::string> helpFolders, MessageBoxService* messageBox)
    : pages_(opener, std::move(helpFile), std::move(helpFolders), messageBox),
      opener_(opener),
      messageBox_(messageBox) {}

BuiltInHelp::~BuiltInHelp() = default;

void BuiltInHelp::ShowContext(std::uint32_t context) { Show(pages_.TargetFor(context)); }

void BuiltInHelp::ShowControlPopup(std::uint32_t controlId) {
    Show(pages_.PopupTargetFor(controlId));
}

void BuiltInHelp::Quit() {
    if (window_) window_->close();
}

void BuiltInHelp::Show(const std::string& target) {
    const std::string suffix = std::filesystem::path(target).extension().string();
    if (!target.empty() && suffix != ".html" && suffix != ".htm") return pages_.Open(target);
    if (!window_) window_ = std::make_unique<HelpWindow>(opener_, messageBox_);
    window_->SetFolders(pages_.Folders(), pages_.TargetFor("index"));
    // An empty target is outside every folder: the window says so.
    (void)window_->ShowPage(target);
}
