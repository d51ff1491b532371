// corvinaport-outbox-window: the "Corvinaport Outbox" window.
#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QProcess>
#include <cstdio>
#include <string>

#include "app/core/AppSettings.h"
#include "app/core/Clock.h"
#include "app/core/Translations.h"
#include "controls/MnemonicGuard.h"
#include "controls/QtMessageBoxService.h"
#include "controls/core/ShellLauncher.h"
#include "pages/CPageViewer.h"
#include "wizard/outbox/ui/OutboxWindow.h"

namespace {

const char* const kHelp =
    QT_TRANSLATE_NOOP("OutboxWindowMain",
                      "Usage: corvinaport-outbox-window [--help | --version]\n"
                      "Show the faxes stored in the outbox and the sent ones, in the window\n"
                      "\"Corvinaport Outbox\": preview, send, hold or delete them.\n"
                      "\n"
                      "The folders are those of the Send a Fax wizard: LocalFolders/outbox/ and\n"
                      "LocalFolders/sent/ of the settings store (CORVINAPORT_REGISTRY). Faxes are\n"
                      "sent by running corvinaport-outbox. A deleted fax is kept for 30 days in\n"
                      "LocalFolders/deleted/.\n");

// The sending command beside this program, in the build tree's own folder,
// or on the PATH.
QString OutboxCommand() {
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString& path : {dir + QStringLiteral("/corvinaport-outbox"),
                                dir + QStringLiteral("/../tools/outbox/corvinaport-outbox")})
        if (QFileInfo(path).isExecutable()) return QFileInfo(path).canonicalFilePath();
    return QStringLiteral("corvinaport-outbox");
}

// Starts another program of the product: beside this one, else from the PATH.
void StartBeside(const QString& name, const QStringList& args) {
    const QString beside = QCoreApplication::applicationDirPath() + QLatin1Char('/') + name;
    (void)QProcess::startDetached(QFileInfo(beside).isExecutable() ? beside : name, args);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        // Told without a window, so no display is needed.
        QCoreApplication core(argc, argv);
        LoadTranslations(core);
        const QString arg = QString::fromLocal8Bit(argv[1]);
        if (argc == 2 && arg == QStringLiteral("--help")) {
            std::fputs(
                QCoreApplication::translate("OutboxWindowMain", kHelp).toLocal8Bit().constData(),
                stdout);
            return 0;
        }
        if (argc == 2 && arg == QStringLiteral("--version")) {
            std::printf("corvinaport-outbox-window %s\n", CORVINAPORT_VERSION);
            return 0;
        }
        std::fputs(QCoreApplication::translate("OutboxWindowMain",
                                               "corvinaport-outbox-window: unknown argument %1\n"
                                               "Try 'corvinaport-outbox-window --help'.\n")
                       .arg(arg)
                       .toLocal8Bit()
                       .constData(),
                   stderr);
        return 2;
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvinaport-outbox-window"));
    QGuiApplication::setDesktopFileName(QStringLiteral("corvinaport-outbox"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("corvinaport-sendfax")));
    LoadTranslations(qt);
    MnemonicGuard::Install(qt);

    QtMessageBoxService boxes;
    AppSettings settings;
    settings.directory.Load();
    std::string local = settings.directory.LocalFolders;
    if (local.empty()) {
        (void)boxes.Show(
            QCoreApplication::translate("OutboxWindowMain",
                                        "The settings name no folder for the "
                                        "outbox (LocalFolders).")
                .toStdString(),
            QCoreApplication::translate("OutboxWindow", "Corvinaport Outbox").toStdString(),
            MbButtons::Ok, MbIcon::Exclamation);
        return 1;
    }
    if (local.back() != '/') local += '/';

    DesktopShellLauncher shell;
    OutboxWindowOptions options;
    options.localFolders = local;
    options.outboxCommand = OutboxCommand();
    options.messageBox = &boxes;
    options.shell = &shell;
    options.preview = RunPageViewer;
    options.clock = &DefaultClock();
    options.openSettings = [] {
        StartBeside(QStringLiteral("corvinaport-sendfax"), {QStringLiteral("--settings")});
    };
    options.openContacts = [] { StartBeside(QStringLiteral("corvinaport-contacts"), {}); };
    OutboxWindow window(options);
    boxes.SetOwner(&window);
    window.show();
    return QApplication::exec();
}
