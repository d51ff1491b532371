#include "app/CNetFaxApp.h"

#include <ctime>
#include <iomanip>
#include <locale>
#include <sstream>

#include "addrbook/AddressBook.h"
#include "addrbook/Contact.h"
#include "app/core/Clock.h"
#include "app/core/MessageBoxService.h"
#include "base/Text.h"
#include "imaging/ImagingEnvironment.h"

namespace {

// The command line with every double-quoted part (quotes included) blanked,
// so that a path such as "/var/spool/..." is not read as the "/s" switch.
// Positions stay those of the original text.
std::string SwitchText(const std::string& commandLine) {
    std::string text = commandLine;
    bool quoted = false;
    for (char& c : text) {
        if (c == '"') {
            quoted = !quoted;
            c = ' ';
        } else if (quoted) {
            c = ' ';
        }
    }
    return text;
}

// The text after a switch: up to the next "/", line feed or tab, trimmed. A
// value given in double quotes is taken without them; text after a value
// that opens a quote (a path behind it) is not part of the value.
std::string SwitchValue(const std::string& commandLine, std::size_t start) {
    std::string value = commandLine.substr(start);
    value = std::string(Trim(value.substr(0, value.find_first_of("/\n\t"))));
    if (!value.empty() && value.front() == '"') {
        std::size_t close = value.find('"', 1);
        return std::string(Trim(value.substr(1, close == std::string::npos ? close : close - 1)));
    }
    return std::string(Trim(value.substr(0, value.find('"'))));
}

std::string FormatTime(const std::tm& tm, const char* format) {
    std::ostringstream out;
    out.imbue(std::locale::classic());  // month names as the C locale has them
    out << std::put_time(&tm, format);
    return out.str();
}

}  // namespace

CNetFaxApp::CNetFaxApp(ImagingEnvironment& imaging, MessageBoxService& messageBox, Clock& clock,
                       HostDialog hostDialog)
    : imaging_(imaging),
      messageBox_(messageBox),
      clock_(clock),
      hostDialog_(std::move(hostDialog)),
      socketsInit_([] { return true; }) {}

bool CNetFaxApp::InitInstance(const std::string& line) {
    // The three-dimensional control look has no counterpart here.
    if (!socketsInit_ || !socketsInit_()) {
        (void)messageBox_.Show(kSocketsInitFailedText, kMessageCaption, MbButtons::Ok,
                               MbIcon::Exclamation);
        return false;
    }

    LoadSettings();
    if (SetupNeeded(settings) && settingsWindow_ &&
        messageBox_.Show(kSetupNeededText, kMessageCaption, MbButtons::YesNo, MbIcon::Question) ==
            MbResult::Yes) {
        settingsWindow_(*this);
        LoadSettings();
    }
    PrepareUserFolders(settings.directory, artworkFolder);

    helpFilePath = settings.directory.InstallPath + kHelpFileName;
    installDir = settings.directory.InstallPath;

    faxNumbersAllowed = 1;
    commandLine = line;
    contactMode = 0;
    ReadSwitches(commandLine);

    if (imaging_.IsNtPlatform()) {
        // The printed document is named on the command line.
        attachMode =
            imaging_.PrepareInitialDocument(commandLine, settings.directory, message) ? 0 : 1;
    } else if (commandLine.compare(0, 2, "/s") == 0) {
        // Elsewhere the printed document arrives later, by window message.
        attachMode = 1;
    }

    message.kind = "fax";
    message.from = settings.general.WebmailUserName + "@" + settings.general.EmailSuffix;

    const std::time_t now = clock_.Now();
    std::tm local{};
    if (::localtime_r(&now, &local) != nullptr) {
        message.dateText = FormatTime(local, "%B %d, %Y");
        message.timeText = FormatTime(local, "%H:%M:%S");
    }

    // The window is built before the fax printer is looked at: the look may
    // wait for the print system's library, which loads meanwhile.
    if (hostBuilder_) hostBuilder_(*this);

    // Every check runs, whatever the one before found.
    const bool printer = imaging_.PrinterPresent(kFaxPrinterName);
    const bool driver = imaging_.PrinterDriverPresent(kFaxPrinterName);
    const bool bound = imaging_.Bind();
    if (!printer || !driver || !bound) attachMode = 1;
    if (attachMode == 0) message.pageCount = imaging_.CountImages(message.documentPath);

    if (hostDialog_) hostDialog_(*this);
    return false;
}

void CNetFaxApp::LoadSettings() {
    settings.general.Load();
    settings.connection.Load();
    settings.directory.Load();
}

void CNetFaxApp::ReadSwitches(const std::string& line) {
    const std::string visible = SwitchText(line);
    if (visible.find("/s") == std::string::npos) return;
    attachMode = 1;
    contactMode = 1;

    if (std::size_t n = visible.find("/n"); n != std::string::npos) {
        presetFaxNumber = SwitchValue(line, n + 2);
    }
    std::string id;
    if (std::size_t i = visible.find("/id"); i != std::string::npos) {
        id = SwitchValue(line, i + 3);
    }

    // The book is read even without "/id"; a failed load finds nothing.
    AddressBook book;
    book.SetFolder(settings.directory.InstallPath);
    (void)book.Load();
    if (!id.empty()) {
        if (Contact* contact = book.FindById(id)) {
            presetLastName = contact->sn;
            presetFirstName = contact->givenname;
            presetEmail = contact->mail;
        }
    }
    (void)book.Clear();
}

std::string CommandLineFromArgs(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i] ? argv[i] : "";
        if (i > 1) line += ' ';
        const bool hasQuote = arg.find('"') != std::string::npos;
        const bool needsQuotes = arg.empty() || arg.find_first_of(" \t") != std::string::npos ||
                                 arg.find('/', 1) != std::string::npos;
        if (needsQuotes && !hasQuote) {
            line += '"' + arg + '"';
        } else {
            line += arg;
        }
    }
    return line;
}
