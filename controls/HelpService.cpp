#include "controls/HelpService.h"

#include <QApplication>
#include <QShortcut>
#include <QWidget>
#include <filesystem>
#include <system_error>

#include "app/MessageBoxService.h"
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
    std::string file = helpFile_ ? helpFile_() : std::string();
    const std::string name = page + ".html";
    if (!file.empty()) {
        std::filesystem::path folder(file);
        folder.replace_extension();
        if (IsFile(folder / name)) return (folder / name).string();
    }
    for (const std::string& dir : helpFolders_) {
        if (IsFile(std::filesystem::path(dir) / name))
            return (std::filesystem::path(dir) / name).string();
    }
    if (!file.empty() && IsFile(file)) return file;
    return {};
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

void DesktopHelp::ShowControlPopup(std::uint32_t controlId) {
    // The product's help file may carry a topic of the control's own; ours
    // has one page per window.
    const std::string file = helpFile_ ? helpFile_() : std::string();
    if (!file.empty()) {
        std::filesystem::path own(file);
        own.replace_extension();
        own /= std::to_string(controlId) + ".html";
        if (IsFile(own)) return Open(own.string());
    }
    const QWidget* where = QApplication::focusWidget();
    if (!where) where = QApplication::activeModalWidget();
    Open(TargetFor(PageOf(where)));
}

std::string InstalledHelpFolder(const std::string& programDir) {
    return (std::filesystem::path(programDir) / ".." / "share" / "corvinaport" / "help")
        .lexically_normal()
        .string();
}
