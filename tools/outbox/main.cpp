// corvinaport-outbox: lists the faxes stored in the outbox and sends them.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "tools/outbox/OutboxSender.h"
#include "wizard/OutboxReader.h"

namespace {

constexpr const char* kHelp =
    "Usage: corvinaport-outbox list\n"
    "  or:  corvinaport-outbox send [--due] [FOLDER...]\n"
    "List the faxes stored in the outbox, or send them now.\n"
    "\n"
    "A fax that could not be sent when it was composed is stored in the outbox,\n"
    "LocalFolders/outbox/, as a folder holding msg.qvm and the document. This\n"
    "command sends such faxes with the settings of the Send a Fax wizard; each\n"
    "accepted fax moves to LocalFolders/sent/, the history of sent faxes. A fax\n"
    "that fails stays, and its attempts and last error are kept beside msg.qvm\n"
    "in send.state. Two senders never send the same fax: one that another\n"
    "sender holds is reported busy. Folders that are malformed or still being\n"
    "written are reported and left alone.\n"
    "\n"
    "Commands:\n"
    "  list          one line per stored fax: its folder name, recipients,\n"
    "                document, attempts and last error, or why it cannot be sent\n"
    "  send          send every stored fax, or the FOLDERs named, now; one line\n"
    "                per fax\n"
    "\n"
    "Options:\n"
    "  --due         send only the faxes whose next automatic attempt is due\n"
    "                (1, 5, 15 and 60 minutes after a failure, then hourly)\n"
    "  --help        display this help and exit\n"
    "\n"
    "Environment:\n"
    "  CORVINAPORT_REGISTRY  the settings store shared with the wizard\n"
    "\n"
    "Exit status:\n"
    "  0  every fax tried was accepted (or there was none to send)\n"
    "  1  a fax stays in the outbox, or the settings name no outbox\n"
    "  2  bad usage\n";

int Usage(const std::string& why) {
    std::fprintf(stderr, "corvinaport-outbox: %s\nTry 'corvinaport-outbox --help'.\n", why.c_str());
    return 2;
}

// Names and texts come from files anyone could have written: no control
// characters reach the terminal.
std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

// "document a.pdf", or "documents a.pdf, b.tif" in their order.
std::string DocumentNames(const std::vector<std::string>& paths) {
    std::string names = paths.size() == 1 ? "document " : "documents ";
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto slash = paths[i].rfind('/');
        names +=
            (i ? ", " : "") + (slash == std::string::npos ? paths[i] : paths[i].substr(slash + 1));
    }
    return names;
}

int List(const std::string& localFolders) {
    const OutboxReader reader(localFolders);
    for (const StoredFax& fax : reader.List(DefaultClock().Now())) {
        std::string line = Printable(fax.name) + ": ";
        switch (fax.status) {
            case StoredFax::Status::Ready:
                line += "to " + fax.message.to + "; " + DocumentNames(fax.documents) + "; " +
                        std::to_string(fax.state.attempts) + " attempts";
                if (!fax.state.lastError.empty()) line += "; last error: " + fax.state.lastError;
                break;
            case StoredFax::Status::Accepted:
                line += "to " + fax.message.to + "; sent, not yet moved to the sent faxes";
                break;
            case StoredFax::Status::Writing:
                line += "still being written";
                break;
            case StoredFax::Status::Broken:
                line += "cannot be sent: " + fax.problem;
                break;
        }
        std::printf("%s\n", Printable(line).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const auto& a : args)
        if (a == "--help") {
            std::fputs(kHelp, stdout);
            return 0;
        }
    if (args.empty()) return Usage("missing command");
    const std::string command = args.front();
    args.erase(args.begin());
    bool onlyDue = false;
    std::vector<std::string> names;
    for (const auto& a : args) {
        if (a == "--due" && command == "send")
            onlyDue = true;
        else if (!a.empty() && a[0] == '-')
            return Usage("unknown option " + Printable(a));
        else
            names.push_back(a);
    }
    if (command != "list" && command != "send")
        return Usage("unknown command " + Printable(command));
    if (command == "list" && !names.empty()) return Usage("list takes no folder names");

    AppSettings settings;
    settings.general.Load();
    settings.connection.Load();
    settings.directory.Load();
    std::string& local = settings.directory.LocalFolders;
    if (local.empty()) {
        std::fprintf(stderr, "corvinaport-outbox: the settings name no LocalFolders\n");
        return 1;
    }
    if (local.back() != '/') local += '/';

    if (command == "list") return List(local);

    OutboxSender sender(settings);
    bool allSent = true;
    sender.onResult = [&allSent](const OutboxSender::Result& r) {
        using Kind = OutboxSender::Result::Kind;
        if (r.kind != Kind::Sent && r.kind != Kind::Moved && r.kind != Kind::NotDue)
            allSent = false;
        std::printf("%s\n", Printable(r.name + ": " + DescribeResult(r)).c_str());
        std::fflush(stdout);
    };
    (void)sender.Send(names, onlyDue);
    return allSent ? 0 : 1;
}
