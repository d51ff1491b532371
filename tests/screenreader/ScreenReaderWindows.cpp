// Shows one window of the program, by name, with sample content, so that a
// screen reader's view of it (the AT-SPI tree) can be checked from outside:
//   screenreader_windows <window>     prints "shown" once it is on screen
//   screenreader_windows --list       the windows it knows
#include <unistd.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "addrbook/contacts/ui/ContactEditDlg.h"
#include "addrbook/contacts/ui/ContactsWindow.h"
#include "addrbook/contacts/ui/CsvMappingDlg.h"
#include "addrbook/ui/CAddressBookDlg.h"
#include "addrbook/ui/CChooseFaxNumberDlg.h"
#include "app/core/AppSettings.h"
#include "app/settings/ui/SettingsWindow.h"
#include "controls/HelpWindow.h"
#include "imaging/ImagingEnvironment.h"
#include "pages/CAttachFile.h"
#include "pages/CLogoPickerDlg.h"
#include "pages/CPageViewer.h"
#include "pages/CScheduleFax.h"
#include "pages/CSelCover.h"
#include "pages/CSelRecipient.h"
#include "support/FakeShellLauncher.h"
#include "support/RecordingOpener.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"
#include "support/TestTiff.h"
#include "wizard/job/FaxJob.h"
#include "wizard/outbox/ui/OutboxWindow.h"
#include "wizard/ui/CTaskProgressWnd.h"

namespace {

namespace fs = std::filesystem;

// Everything a window may need, in a folder of its own.
struct Sample {
    fs::path root;
    FaxJob job;
    AppSettings settings;
    DirectorySettings directory;
    AbsentImaging imaging;
    ScriptedMessageBox boxes;
    FakeLauncher shell;
    RecordingOpener opener;
    Recipient record;

    explicit Sample(fs::path folder) : root(std::move(folder)) {
        fs::create_directories(root / "outbox");
        fs::create_directories(root / "images");
        fs::create_directories(root / "help");
        WriteText((root / "help" / "index.html").string(),
                  "<html><head><title>Send a Fax</title></head><body><h1>Send a Fax</h1>"
                  "<p>See <a href=\"175.html\">Select Recipients</a>.</p></body></html>");
        WriteText((root / "addrbook.ldif").string(),
                  "dn: cn=Ann Example,mail=ann@example.org\r\ncn: Ann Example\r\n"
                  "mail: ann@example.org\r\nfacsimiletelephonenumber: 555 0101\r\n\r\n"
                  "dn: cn=Bob,mail=\r\ncn: Bob\r\nxqrvhomefax: 555 0102\r\n\r\n");
        WriteBilevelTiff((root / "letter.tif").string(), 1728, 200, 3, 4,
                         [](int, int x, int y) { return (x / 40 + y / 40) % 2 == 0; });
        directory.LocalFolders = root.string() + "/";
        settings.directory = directory;
        job.faxNumbersAllowed = 1;
        record.name = "Ann Example";
        record.businessFax = "555 0101";
        record.homeFax = "555 0102";
    }
};

using Maker = std::function<std::unique_ptr<QWidget>(Sample&)>;

const std::map<std::string, Maker>& Windows() {
    static const std::map<std::string, Maker> windows{
        {"recipients", [](Sample& s) { return std::make_unique<CSelRecipient>(s.job); }},
        {"documents", [](Sample& s) { return std::make_unique<CAttachFile>(s.job); }},
        {"cover",
         [](Sample& s) { return std::make_unique<CSelCover>(s.job, s.directory, s.imaging); }},
        {"schedule", [](Sample&) { return std::make_unique<CScheduleFax>(); }},
        {"address-book",
         [](Sample& s) {
             return std::make_unique<CAddressBookDlg>(s.job, s.root.string(), s.boxes);
         }},
        {"number-chooser",
         [](Sample& s) {
             return std::make_unique<CChooseFaxNumberDlg>(s.record, "Choose a fax number");
         }},
        {"logo-picker",
         [](Sample& s) { return std::make_unique<CLogoPickerDlg>(s.root.string() + "/images/"); }},
        {"page-viewer",
         [](Sample& s) {
             return std::make_unique<CPageViewer>(
                 std::vector<std::string>{(s.root / "letter.tif").string()});
         }},
        {"settings",
         [](Sample& s) { return std::make_unique<SettingsWindow>(s.settings, nullptr); }},
        {"outbox",
         [](Sample& s) {
             OutboxWindowOptions o;
             o.localFolders = s.directory.LocalFolders;
             o.messageBox = &s.boxes;
             o.shell = &s.shell;
             o.openSettings = [] {};
             o.openContacts = [] {};
             return std::make_unique<OutboxWindow>(o);
         }},
        {"contacts",
         [](Sample& s) {
             return std::make_unique<ContactsWindow>(s.root.string(), (s.root / "columns").string(),
                                                     s.boxes);
         }},
        {"contact-editor",
         [](Sample&) {
             Contact c;
             c.cn = "Ann Example";
             c.facsimiletelephonenumber = "555 0101";
             return std::make_unique<ContactEditDlg>(c);
         }},
        {"csv-mapping",
         [](Sample&) {
             CsvMapping m;
             m.headings = {"Name", "Fax"};
             m.fields = {"cn", "facsimiletelephonenumber"};
             m.example = {"Ann Example", "555 0101"};
             return std::make_unique<CsvMappingDlg>(QStringLiteral("people.csv"), m);
         }},
        {"help",
         [](Sample& s) {
             auto w = std::make_unique<HelpWindow>(s.opener, &s.boxes);
             const std::string index = (s.root / "help" / "index.html").string();
             w->SetFolders({(s.root / "help").string()}, index);
             (void)w->ShowPage(index);
             return w;
         }},
        {"progress",
         [](Sample& s) {
             auto w = std::make_unique<CTaskProgressWnd>(nullptr, "Sending", true, true, s.boxes);
             w->SetText("Sending your fax");
             return w;
         }},
    };
    return windows;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string name = argc > 1 ? argv[1] : "";
    if (name == "--list") {
        for (const auto& [window, maker] : Windows()) std::printf("%s\n", window.c_str());
        return 0;
    }
    const auto found = Windows().find(name);
    if (found == Windows().end()) {
        std::fprintf(stderr, "screenreader_windows: unknown window '%s' (try --list)\n",
                     name.c_str());
        return 2;
    }
    // A folder of its own, made exclusively and removed at the end: the
    // checker ends the program by closing its standard input.
    const TempFolder folder;
    if (folder.path().empty()) return 1;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&input] {
        char byte = 0;
        if (::read(STDIN_FILENO, &byte, 1) <= 0) {
            input.setEnabled(false);
            QApplication::quit();
        }
    });
    int status = 0;
    {
        Sample sample(folder.path());
        std::unique_ptr<QWidget> window = found->second(sample);
        window->setAttribute(Qt::WA_DontShowOnScreen, false);
        window->show();
        QTimer::singleShot(0, [] {
            std::printf("shown\n");
            std::fflush(stdout);
        });
        status = QApplication::exec();
    }
    return status;
}
