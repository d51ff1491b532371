#include "controls/core/LinkOpener.h"

#include <QCoreApplication>
#include <utility>

#include "app/core/MessageBoxService.h"
#include "app/core/RegistryKey.h"
#include "controls/core/ShellLauncher.h"

std::int32_t LinkOpener::ReadClassesRootValue(const std::string& keyPath, std::string& out) {
    RegistryKey key;
    if (!key.SetRootKey(HKEY_CLASSES_ROOT)) return key.lastError ? key.lastError : 6;
    if (!key.SetKeyPath(keyPath)) return key.lastError;
    std::string value = key.ReadString("", "");
    if (key.lastError != 0) return key.lastError;
    out = std::move(value);
    return 0;
}

std::vector<std::string> LinkOpener::CommandPrefix(const std::string& commandLine) {
    std::string line = commandLine;
    if (std::size_t quoted = line.find("\"%1\""); quoted != std::string::npos) {
        line.resize(quoted);
    } else if (std::size_t bare = line.find("%1"); bare != std::string::npos) {
        line.resize(bare);
    }
    std::vector<std::string> argv;
    std::string word;
    bool inQuotes = false, hasWord = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            hasWord = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (hasWord) argv.push_back(word);
            word.clear();
            hasWord = false;
        } else {
            word += c;
            hasWord = true;
        }
    }
    if (hasWord) argv.push_back(word);
    return argv;
}

namespace {

// Starts the association's command with the address as its own last
// argument; fallback when the command line is unusable or too long.
int StartWith(const std::string& command, const std::string& address, int showCommand,
              ShellLauncher& launcher, int fallback) {
    std::vector<std::string> argv = LinkOpener::CommandPrefix(command);
    if (argv.empty()) return fallback;
    std::size_t length = address.size();
    for (const std::string& a : argv) length += a.size() + 1;
    if (length > LinkOpener::kMaxCommandLine) return fallback;
    // The address stays one argument, whatever quotes or blanks it holds.
    argv.push_back(address);
    return launcher.Start(argv, showCommand);
}

}  // namespace

void LinkOpener::OpenUrl(const std::string& address, int showCommand, ShellLauncher& launcher,
                         std::function<void(int)> done) {
    launcher.ShellOpen(
        address, showCommand, [address, showCommand, &launcher, done = std::move(done)](int shell) {
            if (shell > 32) return done(shell);
            std::string type, command;
            if (ReadClassesRootValue(".htm", type) == 0 &&
                ReadClassesRootValue(type + "\\shell\\open\\command", command) == 0 &&
                !command.empty())
                return done(StartWith(command, address, showCommand, launcher, shell));
            launcher.DesktopHtmlCommand([address, showCommand, &launcher, done,
                                         shell](const std::string& desktop) {
                done(desktop.empty() ? shell
                                     : StartWith(desktop, address, showCommand, launcher, shell));
            });
        });
}

std::string LinkOpener::OpenErrorText(int code) {
    static constexpr std::pair<int, const char*> kTexts[] = {
        {0, QT_TRANSLATE_NOOP("HyperLink", "The operating system is out\nof memory or resources.")},
        {2, QT_TRANSLATE_NOOP("HyperLink", "The specified file was not found.")},
        {3, QT_TRANSLATE_NOOP("HyperLink", "The specified path was not found.")},
        {5, QT_TRANSLATE_NOOP("HyperLink",
                              "The operating system denied\naccess to the specified file.")},
        {8,
         QT_TRANSLATE_NOOP("HyperLink", "There was not enough memory to complete the operation.")},
        {11,
         QT_TRANSLATE_NOOP("HyperLink",
                           "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).")},
        {26, QT_TRANSLATE_NOOP("HyperLink", "A sharing violation occurred. ")},
        {27, QT_TRANSLATE_NOOP("HyperLink", "The filename association is\nincomplete or invalid.")},
        {28, QT_TRANSLATE_NOOP("HyperLink",
                               "The DDE transaction could not\nbe completed because "
                               "the request timed out.")},
        {29, QT_TRANSLATE_NOOP("HyperLink", "The DDE transaction failed.")},
        {30, QT_TRANSLATE_NOOP("HyperLink",
                               "The DDE transaction could not\nbe completed because "
                               "other DDE transactions\nwere being processed.")},
        {31, QT_TRANSLATE_NOOP("HyperLink",
                               "There is no application associated\nwith the given "
                               "filename extension.")},
        {32, QT_TRANSLATE_NOOP("HyperLink", "The specified dynamic-link library was not found.")},
    };
    for (const auto& [known, text] : kTexts)
        if (known == code) return QCoreApplication::translate("HyperLink", text).toStdString();
    return QCoreApplication::translate("HyperLink", "Unknown Error (%1) occurred.")
        .arg(code)
        .toStdString();
}

void LinkOpener::ReportOpenError(int code, MessageBoxService& boxes) {
    (void)boxes.Show(
        QCoreApplication::translate("HyperLink", "Unable to open hyperlink:\n\n").toStdString() +
            OpenErrorText(code),
        kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
}
