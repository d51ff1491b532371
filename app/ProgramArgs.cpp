#include "app/ProgramArgs.h"

#include <QCoreApplication>
#include <filesystem>
#include <system_error>

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("ProgramArgs", text); }

bool EndsWith(const std::string& s, const std::string& end) {
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// "/s", "/n5551234", "/id" ...: a slash and no further slash (a path has one).
bool IsSwitch(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '/' && arg.find('/', 1) == std::string::npos;
}

bool TakesValue(const std::string& arg) {
    return arg.rfind("/n", 0) == 0 || arg.rfind("/id", 0) == 0;
}

// Options QApplication takes out of the command line (-platform, -style, ...,
// also written with two dashes): met before it ran, they are no bad usage.
bool IsQtOption(std::string arg) {
    if (arg.rfind("--", 0) == 0) arg.erase(0, 1);
    static const char* const kQtOptions[] = {"-platform",
                                             "-platformpluginpath",
                                             "-platformtheme",
                                             "-plugin",
                                             "-qwindowgeometry",
                                             "-qwindowtitle",
                                             "-qwindowicon",
                                             "-reverse",
                                             "-session",
                                             "-style",
                                             "-stylesheet",
                                             "-widgetcount",
                                             "-display",
                                             "-geometry",
                                             "-title",
                                             "-name",
                                             "-nograb",
                                             "-dograb",
                                             "-sync",
                                             "-qmljsdebugger"};
    const std::string name = arg.substr(0, arg.find('='));
    for (const char* option : kQtOptions)
        if (name == option) return true;
    return false;
}

}  // namespace

ProgramArgs ParseProgramArgs(const std::vector<std::string>& args) {
    ProgramArgs result;
    // Asked for anywhere, help and version win over everything else.
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            result.action = ProgramArgs::Action::Help;
            return result;
        }
    }
    for (const std::string& arg : args) {
        if (arg == "--version" || arg == "-v") {
            result.action = ProgramArgs::Action::Version;
            return result;
        }
    }
    bool inValue = false;
    bool settings = false;
    for (const std::string& arg : args) {
        if (IsQtOption(arg)) continue;
        if (arg == "--settings") {
            settings = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') {
            result.action = ProgramArgs::Action::BadUsage;
            result.error = Tr(QT_TRANSLATE_NOOP("ProgramArgs", "unknown option %1"))
                               .arg(QString::fromStdString(arg));
            return result;
        }
        if (IsSwitch(arg)) {
            inValue = TakesValue(arg);
            result.passOn.push_back(arg);
            continue;
        }
        std::error_code ec;
        const bool isFile =
            !arg.empty() && !EndsWith(arg, ".grp") && std::filesystem::is_regular_file(arg, ec);
        if (isFile && !inValue) {
            result.documents.push_back(std::filesystem::absolute(arg, ec).string());
        } else {
            // A group file (the driver's print), a switch's value, or text
            // start-up reads as it always did.
            result.passOn.push_back(arg);
        }
    }
    if (settings) {
        if (!result.passOn.empty() || !result.documents.empty()) {
            result.action = ProgramArgs::Action::BadUsage;
            result.error =
                Tr(QT_TRANSLATE_NOOP("ProgramArgs", "--settings takes no other arguments"));
            return result;
        }
        result.action = ProgramArgs::Action::Settings;
    }
    return result;
}

QString UsageText(const QString& program) {
    return Tr(QT_TRANSLATE_NOOP(
                  "ProgramArgs",
                  "Usage: %1 [FILE]\n"
                  "       %1 --settings\n"
                  "       %1 /s [/n NUMBER] [/id CONTACT]\n"
                  "       %1 \"GROUPFILE\"\n"
                  "Opens the Send a Fax wizard.\n"
                  "\n"
                  "  FILE              attach FILE to the fax\n"
                  "  /s                send to one contact or number\n"
                  "  /n NUMBER         with /s: the fax number to fill in\n"
                  "  /id CONTACT       with /s: the address-book contact to fill in\n"
                  "  \"GROUPFILE\"       take over the document printed to the fax printer\n"
                  "  --settings        open the settings window: account, password, sender,\n"
                  "                    service address, connection and folders\n"
                  "  -h, --help        print this help and exit\n"
                  "  -v, --version     print the version and exit\n"
                  "\n"
                  "Settings are read from the user's registry store\n"
                  "($XDG_CONFIG_HOME/corvinaport/registry.reg), then from\n"
                  "/etc/corvinaport/registry.reg; CORVINAPORT_REGISTRY names one store instead.\n"
                  "See man %1.\n"))
        .arg(program);
}

QString VersionText(const QString& program) {
    return QStringLiteral("%1 %2\n").arg(program, QStringLiteral(CORVINAPORT_VERSION));
}
