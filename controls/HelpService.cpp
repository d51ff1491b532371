#include "controls/HelpService.h"

#include <filesystem>
#include <system_error>

#include "controls/DocumentOpener.h"

std::string DesktopHelp::TargetFor(std::uint32_t context) const {
    std::string file = helpFile_ ? helpFile_() : std::string();
    if (file.empty()) return {};
    std::filesystem::path folder(file);
    folder.replace_extension();
    std::filesystem::path page = folder / (std::to_string(context) + ".html");
    std::error_code ec;
    if (std::filesystem::is_regular_file(page, ec)) return page.string();
    return file;
}

void DesktopHelp::ShowContext(std::uint32_t context) {
    std::string target = TargetFor(context);
    if (!target.empty()) (void)opener_.Open(target);
}

void DesktopHelp::ShowControlPopup(std::uint32_t controlId) { ShowContext(controlId); }
