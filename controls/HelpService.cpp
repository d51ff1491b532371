#include "controls/HelpService.h"

#include <QApplication>
#include <QShortcut>
#include <QWidget>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "app/core/MessageBoxService.h"
#include "controls/DocumentOpener.h"
#include "controls/WizardPage.h"

namespace {

bool IsFile(const std::filesystem::path& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

}  // namespace

void AddControlHelpKey(QWidget& dialog, HelpService* const& help) {
    auto* key = new QShortcut(QKeySequence::HelpContents, &dialog);
    key->setContext(Qt::WindowShortcut);
    QObject::connect(key, &QShortcut::activated, &dialog, [&dialog, &help] {
        if (help && dialog.focusWidget()) help->ShowControlPopup(ControlId(dialog.focusWidget()));
    });
}

std::string DesktopHelp::TargetFor(std::uint32_t context) const {
    return TargetFor(std::to_string(context));
}

std::string DesktopHelp::TargetFor(const std::string& page) const {
    // ASCII only, whatever the locale says is a letter.
    const bool plain = !page.empty() && std::all_of(page.begin(), page.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
    if (!plain) return {};
    std::string file = helpFile_ ? helpFile_() : std::string();
    const std::string name = page + ".html";
    for (const std::string& dir : Folders()) {
        if (IsFile(std::filesystem::path(dir) / name))
            return (std::filesystem::path(dir) / name).string();
    }
    if (!file.empty() && IsFile(file)) return file;
    return {};
}

std::vector<std::string> DesktopHelp::Folders() const {
    std::vector<std::string> folders;
    const std::string file = helpFile_ ? helpFile_() : std::string();
    if (!file.empty()) folders.push_back(std::filesystem::path(file).replace_extension().string());
    folders.insert(folders.end(), helpFolders_.begin(), helpFolders_.end());
    return folders;
}

std::string DesktopHelp::PageOf(const QWidget* widget) {
    static const std::pair<const char*, const char*> kPages[] = {
        {"CSelRecipient", "175"},
        {"CAttachFile", "220"},
        {"CSelCover", "220"},
        {"CScheduleFax", "222"},
        {"CAddressBookDlg", "addressbook"},
        {"CChooseFaxNumberDlg", "addressbook"},
        {"CLogoPickerDlg", "logo"},
    };
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        for (const auto& [type, page] : kPages)
            if (w->inherits(type)) return page;
    }
    return "index";
}

void DesktopHelp::Open(const std::string& target) {
    if (!target.empty() && opener_.Open(target)) return;
    if (messageBox_)
        (void)messageBox_->Show(kNoHelpText, kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
}

void DesktopHelp::ShowContext(std::uint32_t context) { Open(TargetFor(context)); }

void DesktopHelp::ShowControlPopup(std::uint32_t controlId) { Open(PopupTargetFor(controlId)); }

std::string DesktopHelp::PopupTargetFor(std::uint32_t controlId) const {
    // The product's help file may carry a topic of the control's own; ours
    // has one page per window.
    const std::string file = helpFile_ ? helpFile_() : std::string();
    if (!file.empty()) {
        std::filesystem::path own(file);
        own.replace_extension();
        own /= std::to_string(controlId) + ".html";
        if (IsFile(own)) return own.string();
    }
    const QWidget* where = QApplication::focusWidget();
    if (!where) where = QApplication::activeModalWidget();
    return TargetFor(PageOf(where));
}

std::string InstalledHelpFolder(const std::string& programDir) {
    return (std::filesystem::path(programDir) / ".." / "share" / "corvinaport" / "help")
        .lexically_normal()
        .string();
}
