// corvinaport-sendfax: the "Send a Fax" wizard.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <vector>

#include "app/CNetFaxApp.h"
#include "app/ProgramArgs.h"
#include "app/Translations.h"
#include "app/program/SendFaxProgram.h"
#include "controls/HelpService.h"
#include "controls/QtMessageBoxService.h"
#include "res/wizard/Resources.h"

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
    if (parsed.action != ProgramArgs::Action::Run) {
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
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("corvinaport-sendfax"), res::Icon(res::IDI_PROGRAM)));
    // The wizard ends the program, not the last window closed in between.
    QApplication::setQuitOnLastWindowClosed(false);
    LoadTranslations(qt);

    // Read again without the options Qt took (-platform, -style, ...).
    parsed = ParseProgramArgs({argv + 1, argv + argc});
    if (parsed.action == ProgramArgs::Action::BadUsage) return BadUsage(parsed);

    QtMessageBoxService messageBox;
    SendFaxOptions options;
    options.messageBox = &messageBox;
    options.helpFolders = {
        InstalledHelpFolder(QCoreApplication::applicationDirPath().toStdString())};
    // Files named together go into one fax.
    options.documents = parsed.documents;
    options.beforeRun = [&](CMainHostDlg& host, CNetFaxApp&) {
        messageBox.SetOwner(&host.sheet());
    };
    options.afterRun = [&](CMainHostDlg&, CNetFaxApp&) { messageBox.SetOwner(nullptr); };

    std::vector<char*> rest{argv[0]};
    for (std::string& arg : parsed.passOn) rest.push_back(arg.data());
    return RunSendFax(CommandLineFromArgs(static_cast<int>(rest.size()), rest.data()), options);
}
