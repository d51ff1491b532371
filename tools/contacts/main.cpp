// corvinaport-contacts: the Contacts window, or an import or export without one.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdio>
#include <string>
#include <vector>

#include "addrbook/contacts/ContactsCommand.h"
#include "addrbook/contacts/ui/ContactsWindow.h"
#include "app/core/AppSettings.h"
#include "app/core/ProgramInfo.h"

namespace {

constexpr const char* kHelp =
    "Usage: corvinaport-contacts\n"
    "  or:  corvinaport-contacts [--import FILE...] [--export FILE]\n"
    "Keep the address book of the Send a Fax wizard.\n"
    "\n"
    "Without options the Contacts window opens. With them the work is done\n"
    "without a window: --import adds the contacts of vCard (2.1, 3.0, 4.0), CSV\n"
    "and LDIF files to the address book, all files or none; --export writes the\n"
    "whole book as vCard 4.0 cards.\n"
    "\n"
    "Options:\n"
    "  --import FILE...  import these files (the CSV columns as last confirmed\n"
    "                    in the window for the same headings, else guessed)\n"
    "  --export FILE     write the book to FILE as vCard 4.0\n"
    "  --folder DIR      the address book's folder (default: InstallPath)\n"
    "  --help            display this help and exit\n"
    "  --version         display the version and exit\n"
    "\n"
    "Environment:\n"
    "  CORVINAPORT_REGISTRY  the settings store shared with the wizard\n"
    "\n"
    "Exit status:\n"
    "  0  done\n"
    "  1  nothing written: a file or the address book could not be used\n"
    "  2  bad usage\n"
    "  3  imported, but some cards or rows were skipped (listed with their line)\n";

int Usage(const std::string& why) {
    std::fprintf(stderr, "corvinaport-contacts: %s\nTry 'corvinaport-contacts --help'.\n",
                 why.c_str());
    return ContactsCommand::kBadUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "corvinaport-contacts", kHelp))
        return *answered;
    const std::vector<std::string> args(argv + 1, argv + argc);
    ContactsCommand command;
    std::string folder;
    bool folderGiven = false, importing = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (a == "--import") {
            importing = true;
        } else if (a == "--export" || a == "--folder") {
            if (i + 1 == args.size()) return Usage(a + " needs a file name");
            (a == "--export" ? command.exportTo : folder) = args[++i];
            folderGiven = folderGiven || a == "--folder";
            importing = false;
        } else if (importing && (a.empty() || a[0] != '-')) {
            command.imports.push_back(a);
        } else {
            return Usage("unknown argument " + a);
        }
    }
    if (importing && command.imports.empty()) return Usage("--import needs a file name");
    if (!folderGiven) {
        DirectorySettings directory;
        directory.Load();
        folder = directory.InstallPath;
    }
    const bool windowless = !command.imports.empty() || !command.exportTo.empty();

    std::unique_ptr<QCoreApplication> app;
    if (windowless)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName("corvinaport");
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    command.mappingsPath = (config + "/csv-columns").toStdString();
    if (windowless) return command.Run(folder, stdout, stderr);
    return RunContactsWindow(folder, command.mappingsPath);
}
