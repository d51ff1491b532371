// corvinaport-sendfax: the "Send a Fax" wizard.
#include <QApplication>

#include "app/CNetFaxApp.h"
#include "app/SendFaxProgram.h"
#include "controls/QtMessageBoxService.h"

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvinaport-sendfax"));
    // The wizard ends the program, not the last window closed in between.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageBoxService messageBox;
    SendFaxOptions options;
    options.messageBox = &messageBox;
    options.beforeRun = [&](CMainHostDlg& host, CNetFaxApp&) {
        messageBox.SetOwner(&host.sheet());
    };
    options.afterRun = [&](CMainHostDlg&, CNetFaxApp&) { messageBox.SetOwner(nullptr); };
    return RunSendFax(CommandLineFromArgs(argc, argv), options);
}
