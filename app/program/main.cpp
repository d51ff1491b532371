// corvinaport-sendfax: the "Send a Fax" wizard.
#include <QApplication>
#include <QIcon>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/CNetFaxApp.h"
#include "app/ProgramArgs.h"
#include "app/core/Translations.h"
#include "app/program/SendFaxProgram.h"
#include "app/secret_store/SecretServiceStore.h"
#include "app/settings/ui/SettingsWindow.h"
#include "app/window_messages/WindowMessage.h"
#include "controls/CaretRest.h"
#include "controls/HelpService.h"
#include "controls/MnemonicGuard.h"
#include "controls/QtMessageBoxService.h"
#include "res/Resources.h"

namespace {

const QString kProgram = QStringLiteral("corvinaport-sendfax");

void Print(std::FILE* to, const QString& text) { std::fputs(text.toLocal8Bit().constData(), to); }

int BadUsage(const ProgramArgs& parsed) {
    Print(stderr,
          QStringLiteral("%1: %2\n").arg(kProgram, parsed.error) +
              QCoreApplication::translate("ProgramArgs", "Try '%1 --help'.\n").arg(kProgram));
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ProgramArgs parsed = ParseProgramArgs({argv + 1, argv + argc});
    // With --settings a value of Qt's options (-platform offscreen) still
    // stands in the arguments here: judged once Qt has taken them.
    const bool settingsAsked = std::find_if(argv + 1, argv + argc, [](const char* a) {
                                   return std::string_view(a) == "--settings";
                               }) != argv + argc;
    if (parsed.action != ProgramArgs::Action::Run &&
        parsed.action != ProgramArgs::Action::Settings &&
        !(parsed.action == ProgramArgs::Action::BadUsage && settingsAsked)) {
        // Told without a window, so no display is needed.
        QCoreApplication core(argc, argv);
        LoadTranslations(core);
        if (parsed.action == ProgramArgs::Action::BadUsage) return BadUsage(parsed);
        Print(stdout, parsed.action == ProgramArgs::Action::Help ? UsageText(kProgram)
                                                                 : VersionText(kProgram));
        return 0;
    }

    QApplication qt(argc, argv);
    QApplication::setApplicationName(kProgram);
    QGuiApplication::setDesktopFileName(QStringLiteral("com.quorvane.corvinaport.sendfax"));
    // The themed icon replaces the program's own a moment after the start:
    // reading the icon theme would hold up the first window.
    QApplication::setWindowIcon(res::Icon(res::IDI_PROGRAM));
    QTimer::singleShot(250, &qt, [] {
        QApplication::setWindowIcon(QIcon::fromTheme(kProgram, res::Icon(res::IDI_PROGRAM)));
    });
    // The wizard ends the program, not the last window closed in between.
    QApplication::setQuitOnLastWindowClosed(false);
    LoadTranslations(qt);
    MnemonicGuard::Install(qt);
    // An idle wizard does not wake up for its caret.
    CaretRest caretRest;

    // Read again without the options Qt took (-platform, -style, ...).
    parsed = ParseProgramArgs({argv + 1, argv + argc});
    if (parsed.action == ProgramArgs::Action::BadUsage) return BadUsage(parsed);

    // The account password is read through the desktop's secret store.
    SecretServicePasswordStore secrets;
    InstallPasswordStore(&secrets);
    if (parsed.action == ProgramArgs::Action::Settings) {
        AppSettings settings;
        settings.general.Load();
        settings.connection.Load();
        settings.directory.Load();
        SettingsWindow window(settings, &secrets, DialUpEntries());
        if (window.exec() != QDialog::Accepted) return 1;
        // Running wizards take the new settings for their next send.
        (void)Broadcast(WindowMessage{WM_RELOADSETTINGS, {}, 0, 0}, MessageFolder());
        return 0;
    }

    QtMessageBoxService messageBox;
    SendFaxOptions options;
    options.messageBox = &messageBox;
    options.helpFolders = {
        InstalledHelpFolder(QCoreApplication::applicationDirPath().toStdString())};
    // Files named together go into one fax.
    options.documents = parsed.documents;
    const std::string programDir = QCoreApplication::applicationDirPath().toStdString();
    options.artworkFolder = InstalledArtworkFolder(programDir);
    options.settingsWindow = [&secrets](CNetFaxApp& app) {
        SettingsWindow window(app.settings, &secrets, DialUpEntries());
        (void)window.exec();
    };
    options.beforeRun = [&](CMainHostDlg& host, CNetFaxApp&) {
        messageBox.SetOwner(&host.sheet());
    };
    options.afterRun = [&](CMainHostDlg&, CNetFaxApp&) { messageBox.SetOwner(nullptr); };

    std::vector<char*> rest{argv[0]};
    for (std::string& arg : parsed.passOn) rest.push_back(arg.data());
    return RunSendFax(CommandLineFromArgs(static_cast<int>(rest.size()), rest.data()), options);
}
