// corvinaport-sendfax: the "Send a Fax" wizard.
#include <QApplication>
#include <memory>

#include "app/CNetFaxApp.h"
#include "app/Clock.h"
#include "controls/DocumentOpener.h"
#include "controls/HelpService.h"
#include "controls/QtMessageBoxService.h"
#include "imaging/ImagingEnvironment.h"
#include "wizard/CMainHostDlg.h"
#ifdef CORVINAPORT_HAVE_IMAGING
#include "imaging/ImagingLibrary.h"
#endif

int main(int argc, char** argv) {
    QApplication qt(argc, argv);
    QApplication::setApplicationName(QStringLiteral("corvinaport-sendfax"));
    // The wizard ends the program, not the last window closed in between.
    QApplication::setQuitOnLastWindowClosed(false);

    QtMessageBoxService messageBox;
    SystemClock clock;
#ifdef CORVINAPORT_HAVE_IMAGING
    ImagingLibrary imaging;
#else
    AbsentImaging imaging;
#endif
    DesktopOpener opener;

    CNetFaxApp app(imaging, messageBox, clock, [&](CNetFaxApp& a) {
        DesktopHelp help(opener, [&a] { return a.helpFilePath; });
        HostEnvironment env{a,     a.settings, a.imaging(), a.messageBox(), a.commandLine,
                            &help, &opener};
        FinishSteps steps;
        // The steps of the fax job, the connection and the submission are
        // joined here as their libraries come in.
        CMainHostDlg host(env, std::move(steps));
        messageBox.SetOwner(&host.sheet());
        (void)host.DoModal();
        messageBox.SetOwner(nullptr);
    });
    (void)app.InitInstance(CommandLineFromArgs(argc, argv));
    return 0;
}
