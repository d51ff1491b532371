// corvinaport-demo-drive: runs the real "Send a Fax" wizard without a display
// and fills it in by script: one fax number, the given document, send now.
// It prints every page it passes, every message the wizard shows, and where
// the fax ended up.
//
//   QT_QPA_PLATFORM=offscreen corvinaport-demo-drive <document> [fax number]
//
// With CORVINAPORT_DEMO_OUTBOX=1 it places the fax in the outbox instead.
//
// With CORVINAPORT_DEMO_SHOTS=<folder> a picture of each page is saved there
// (page-N.png), of each message box as the program shows it (box-N.png), and
// of the Outbox window over the same folders after the run (outbox.png).
// The wizard speaks the desktop's language, as the program does.
//
// The settings come from the registry stores, as the program reads them. With
// CORVINAPORT_DEMO_SETTINGS=1 the settings window that start-up offers to a
// fresh user is filled in from "field=value" lines on standard input
// (account, password, suffix, service), checked and saved.
#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <system_error>

#include "app/CNetFaxApp.h"
#include "app/core/MessageBoxService.h"
#include "app/core/Translations.h"
#include "app/program/SendFaxProgram.h"
#include "app/secret_store/SecretServiceStore.h"
#include "app/settings/ui/SettingsWindow.h"
#include "controls/QtMessageBoxService.h"
#include "wizard/job/FaxJob.h"
#include "wizard/outbox/ui/OutboxWindow.h"
#include "wizard/ui/CMainHostDlg.h"

namespace {

namespace fs = std::filesystem;

void Say(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

// The folder CORVINAPORT_DEMO_SHOTS names; empty when no pictures are wanted.
QString ShotsFolder() { return qEnvironmentVariable("CORVINAPORT_DEMO_SHOTS"); }

// Saves a picture of widget as folder/name and says so.
void SavePicture(QWidget& widget, const QString& name) {
    const QString file = ShotsFolder() + QLatin1Char('/') + name;
    if (widget.grab().save(file)) Say("  picture: " + file.toStdString());
}

// Answers every box like a user pressing its first button, and prints it.
// With pictures wanted, the box is also shown as the program shows it, saved
// and closed again; the answer stays the script's.
class PrintingMessageBox final : public MessageBoxService {
  public:
    MbResult Show(const std::string& text, const std::string& caption, MbButtons buttons,
                  MbIcon icon) override {
        return Answer(text, caption, buttons, icon, {}, {}, {});
    }
    MbResult ShowDetailed(const std::string& text, const std::string& caption, MbButtons buttons,
                          MbIcon icon, const std::string& detail) override {
        return Answer(text, caption, buttons, icon, detail, {}, {});
    }
    bool ShowOffering(const std::string& text, const std::string& caption, MbIcon icon,
                      const std::string& detail, const std::string& technical,
                      const std::string& offer) override {
        (void)Answer(text, caption, MbButtons::Ok, icon, detail, technical, offer);
        return false;
    }
    int shown = 0;

  private:
    MbResult Answer(const std::string& text, const std::string& caption, MbButtons buttons,
                    MbIcon icon, const std::string& detail, const std::string& technical,
                    const std::string& offer) {
        ++shown;
        std::string flat = detail.empty() ? text : text + " " + detail;
        for (char& c : flat)
            if (c == '\n') c = ' ';
        std::printf("  message box [%s]: %s\n", caption.c_str(), flat.c_str());
        std::fflush(stdout);
        if (!ShotsFolder().isEmpty()) Picture(text, caption, icon, detail, technical, offer);
        switch (buttons) {
            case MbButtons::YesNo:
            case MbButtons::YesNoCancel:
                return MbResult::Yes;
            case MbButtons::RetryCancel:
                return MbResult::Cancel;
            default:
                return MbResult::Ok;
        }
    }

    void Picture(const std::string& text, const std::string& caption, MbIcon icon,
                 const std::string& detail, const std::string& technical,
                 const std::string& offer) {
        const QString name = QString("box-%1.png").arg(shown);
        // Runs inside the box's own loop, once it is shown.
        QTimer::singleShot(0, [name] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                    SavePicture(*box, name);
                    box->reject();
                    return;
                }
        });
        QtMessageBoxService real(QApplication::activeWindow());
        (void)real.ShowOffering(text, caption, icon, detail, technical, offer);
    }
};

// The Outbox window over localFolders, saved once its lists are shown.
void OutboxPicture(const std::string& localFolders, MessageBoxService& boxes) {
    OutboxWindowOptions options;
    options.localFolders = localFolders.back() == '/' ? localFolders : localFolders + '/';
    options.messageBox = &boxes;
    OutboxWindow window(options);
    window.resize(960, 480);
    QEventLoop loop;
    QObject::connect(&window, &OutboxWindow::loaded, &loop, &QEventLoop::quit);
    window.show();
    if (window.loading()) {
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    // The page counts follow the lists.
    QTimer::singleShot(500, &loop, &QEventLoop::quit);
    loop.exec();
    SavePicture(window, QStringLiteral("outbox.png"));
}

std::string Caption(const CNetFaxPropSheet& sheet) { return sheet.windowTitle().toStdString(); }

// A picture of the page in front, as page-N.png, when pictures are wanted.
void Shot(CNetFaxPropSheet& sheet, int n) {
    if (!ShotsFolder().isEmpty()) SavePicture(sheet, QString("page-%1.png").arg(n));
}

// The outbox's folders before the run, to tell the new one afterwards.
std::vector<std::string> Folders(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_directory(ec)) names.push_back(e.path().filename().string());
    return names;
}

// Fills the settings window from "field=value" lines on standard input, as a
// user types them, runs the check and saves.
void FillSettings(CNetFaxApp& app, PasswordStore* store) {
    std::map<std::string, std::string> typed;
    for (std::string line; std::getline(std::cin, line);) {
        const auto eq = line.find('=');
        if (eq != std::string::npos) typed[line.substr(0, eq)] = line.substr(eq + 1);
    }
    SettingsWindow window(app.settings, store);
    window.show();
    window.userNameEdit()->setText(QString::fromStdString(typed["account"]));
    window.passwordEdit()->setText(QString::fromStdString(typed["password"]));
    window.suffixEdit()->setText(QString::fromStdString(typed["suffix"]));
    window.serviceEdit()->setText(QString::fromStdString(typed["service"]));
    Say("Settings window: account " + typed["account"] + ", sender " + typed["account"] + "@" +
        typed["suffix"] + ", service " + typed["service"] + ", password typed (" +
        std::to_string(typed["password"].size()) + " characters)");
    Say("  " + window.passwordPlace()->text().toStdString());
    window.checkButton()->click();
    Say("  Check: " + window.checkResult()->text().toStdString());
    if (!ShotsFolder().isEmpty()) SavePicture(window, QStringLiteral("settings.png"));
    window.accept();
    Say(window.result() == QDialog::Accepted ? "  saved" : "  not saved");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: corvinaport-demo-drive <document> [fax number]\n");
        return 2;
    }
    const std::string document = fs::absolute(argv[1]).string();
    const std::string number = argc == 3 ? argv[2] : "1 (212) 555-0100";
    std::error_code ec;
    if (!fs::is_regular_file(document, ec)) {
        std::fprintf(stderr, "corvinaport-demo-drive: no such file: %s\n", document.c_str());
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    LoadTranslations(qt);

    SecretServicePasswordStore secrets;
    InstallPasswordStore(&secrets);
    PrintingMessageBox boxes;
    bool finished = false, stuck = false;
    std::vector<std::string> outboxBefore;
    std::string outbox, localFolders;

    SendFaxOptions options;
    options.messageBox = &boxes;
    options.listenForMessages = false;
    if (qEnvironmentVariableIntValue("CORVINAPORT_DEMO_SETTINGS") == 1)
        options.settingsWindow = [&secrets](CNetFaxApp& app) { FillSettings(app, &secrets); };
    options.artworkFolder =
        InstalledArtworkFolder(QCoreApplication::applicationDirPath().toStdString() + "/..");
    options.filePicker = [&](QWidget*) {
        Say("  file dialog: " + document);
        return std::vector<std::string>{document};
    };
    options.beforeRun = [&](CMainHostDlg& host, CNetFaxApp& app) {
        localFolders = app.settings.directory.LocalFolders;
        outbox = localFolders + "outbox/";
        outboxBefore = Folders(outbox);
        Say(std::string("Settings: LocalFolders \"") + app.settings.directory.LocalFolders +
            "\", relay \"" + app.settings.directory.RmMessages + "\", sender " + app.message.from);
        Say(app.attachMode ? "Mode: attach a file (no printed document at hand)"
                           : "Mode: printed document with cover sheet");
        // The script runs once the wizard's own loop does.
        QTimer::singleShot(0, &host, [&host, &number, &finished, &stuck] {
            CNetFaxPropSheet& sheet = host.sheet();
            // Goes on to the page numbered page; false (the wizard cancelled)
            // when the page in front does not let it.
            const auto next = [&sheet, &stuck](int page) {
                if (!sheet.PressNext()) {
                    stuck = true;
                    Say("  the page did not let the wizard go on");
                    sheet.PressCancel();
                    return false;
                }
                Say("Page " + std::to_string(page) + ": " + Caption(sheet));
                Shot(sheet, page);
                return true;
            };
            Say("Page 1: " + Caption(sheet));
            host.recipientsPage().numberEdit()->setText(QString::fromStdString(number));
            emit host.recipientsPage().numberEdit()->textEdited(
                host.recipientsPage().numberEdit()->text());
            Say("  typed fax number: " + number);
            host.recipientsPage().addButton()->click();
            Shot(sheet, 1);
            if (!next(2)) return;
            if (sheet.activePage() == &host.documentPage()) {
                host.documentPage().addButton()->click();
            } else if (sheet.activePage() == &host.coverPage()) {
                // The demo attaches no printed document: no cover either.
                if (host.coverPage().coverCheck()->isChecked())
                    host.coverPage().coverCheck()->click();
                Say("  cover sheet: none");
            }
            if (!next(3)) return;
            if (qEnvironmentVariableIntValue("CORVINAPORT_DEMO_OUTBOX") == 1) {
                host.schedulePage().outboxButton()->click();
                Say("  chose: Place fax in \"outbox\"");
            } else {
                host.schedulePage().sendNowButton()->click();
                Say("  chose: Send this fax immediately");
            }
            Say("Finish pressed.");
            finished = sheet.PressFinish();
            if (!finished) {
                stuck = true;
                Say("  the wizard refused to finish");
                sheet.PressCancel();
            }
        });
    };
    options.afterRun = [&](CMainHostDlg&, CNetFaxApp& app) {
        Say("Wizard ended" + std::string(finished ? " with Finish." : " without Finish."));
        Say("  recipient line: " + app.message.to);
        Say("  document: " + app.message.documentPath);
    };

    const int rc = RunSendFax("", options);
    if (rc != 0) return rc;

    std::vector<std::string> after = Folders(outbox);
    for (const std::string& name : after) {
        bool old = false;
        for (const std::string& b : outboxBefore) old = old || b == name;
        if (!old) Say("Stored in the outbox: " + outbox + name + "/");
    }
    if (!ShotsFolder().isEmpty() && !localFolders.empty()) OutboxPicture(localFolders, boxes);
    if (stuck) return 1;
    return finished ? 0 : 1;
}
