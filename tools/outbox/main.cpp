// corvinaport-outbox: lists the faxes stored in the outbox and sends them.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/Clock.h"
#include "app/core/ProgramInfo.h"
#include "app/core/Translate.h"
#include "app/core/Translations.h"
#include "app/secret_store/SecretServiceStore.h"
#include "app/window_messages/WindowMessage.h"
#include "wizard/job/OutboxReader.h"
#include "wizard/outbox/sender/OutboxActions.h"
#include "wizard/outbox/sender/OutboxSender.h"

namespace {

constexpr const char* kHelp =
    "Usage: corvinaport-outbox list\n"
    "  or:  corvinaport-outbox send [--due | --again] [--tab] [FOLDER...]\n"
    "  or:  corvinaport-outbox mark-sent FOLDER...\n"
    "  or:  corvinaport-outbox hold FOLDER...\n"
    "  or:  corvinaport-outbox delete FOLDER...\n"
    "List the faxes stored in the outbox, or send them now.\n"
    "\n"
    "A fax that is not sent when it is composed is stored in the outbox,\n"
    "LocalFolders/outbox/, as a folder holding msg.qvm and its documents. This\n"
    "command sends such faxes with the settings of the Send a Fax wizard; each\n"
    "accepted fax moves to LocalFolders/sent/, the history of sent faxes. What\n"
    "the senders know of a fax (its state, attempts, last error) is kept beside\n"
    "msg.qvm in send.state. A stored fax is\n"
    "  held      kept until you send it (you placed it in the outbox, or stopped it)\n"
    "  waiting   tried again automatically after a failure (1, 5, 15 and 60\n"
    "            minutes after it, then hourly)\n"
    "  failed    no longer tried automatically: it failed RetryLimit times (10),\n"
    "            or for RetryHours hours (24); both are values of the key\n"
    "            Software\\Quorvane\\Corvinaport\\Outbox of the settings store\n"
    "  unknown   \"May have been sent\": an upload began and its outcome was never\n"
    "            learnt (the sender stopped, or the reply was lost after the whole\n"
    "            fax went out). It is never sent again unless you say so:\n"
    "            send --again FOLDER, or mark-sent FOLDER when it arrived.\n"
    "A fax is sent exactly once: two senders never send the same fax, and one\n"
    "that another sender holds is reported busy. Folders that are malformed or\n"
    "still being written are reported and left alone.\n"
    "\n"
    "Commands:\n"
    "  list          one line per stored fax: its folder name, recipients,\n"
    "                documents, state, attempts and last error, or why it cannot\n"
    "                be sent\n"
    "  send          send now every held and waiting fax, or the FOLDERs named\n"
    "                (failed ones too); one line per fax\n"
    "  mark-sent     record the FOLDERs as sent without sending them, and move\n"
    "                them to the sent faxes\n"
    "  hold          keep the FOLDERs until they are sent by name\n"
    "  delete        move the FOLDERs to LocalFolders/deleted/, where they are\n"
    "                kept for 30 days\n"
    "\n"
    "Options:\n"
    "  --due         send only the waiting faxes whose next attempt is due (the\n"
    "                automatic retry of the fax watcher)\n"
    "  --again       send the FOLDERs named even if they may have been sent\n"
    "  --tab         print each result as folder, outcome and text, separated by\n"
    "                tabs (for programs)\n"
    "  --help        display this help and exit\n"
    "  --version     display the version and exit\n"
    "\n"
    "Environment:\n"
    "  CORVINAPORT_REGISTRY  the settings store shared with the wizard\n"
    "\n"
    "Exit status:\n"
    "  0  every fax tried was accepted (or there was none to send)\n"
    "  1  a fax stays in the outbox, or the settings name no outbox\n"
    "  2  bad usage\n";

int Usage(const std::string& why) {
    std::fprintf(
        stderr, "corvinaport-outbox: %s\n%s\n", why.c_str(),
        TranslatedText(QT_TRANSLATE_NOOP("Message", "Try 'corvinaport-outbox --help'.")).c_str());
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
    std::string names;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const auto slash = paths[i].rfind('/');
        names +=
            (i ? ", " : "") + (slash == std::string::npos ? paths[i] : paths[i].substr(slash + 1));
    }
    return paths.size() == 1 ? TranslatedText(QT_TRANSLATE_NOOP("Message", "document %1"), names)
                             : TranslatedText(QT_TRANSLATE_NOOP("Message", "documents %1"), names);
}

std::string StateWords(const StoredFax& fax, std::time_t now) {
    switch (fax.faxState) {
        case FaxState::Held:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "held"));
        case FaxState::Waiting:
            if (fax.state.attempts == 0)
                return TranslatedText(QT_TRANSLATE_NOOP("Message", "waiting to be sent"));
            {
                const std::time_t next = NextAttemptAt(fax.state);
                std::tm local{};
                char at[16] = "";
                if (next > now && localtime_r(&next, &local))
                    (void)std::strftime(at, sizeof at, "%H:%M", &local);
                return *at ? TranslatedText(QT_TRANSLATE_NOOP("Message", "waiting: next try at %1"),
                                            at)
                           : TranslatedText(QT_TRANSLATE_NOOP("Message", "waiting: due now"));
            }
        case FaxState::Sending:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "being sent now"));
        case FaxState::Unknown:
            return DescribeUnknown(fax.state);
        case FaxState::Failed:
            return CountedText(QT_TRANSLATE_N_NOOP("Message", "failed after %n tries"),
                               fax.state.attempts);
        case FaxState::Sent:
            break;
    }
    return fax.state.moveError.empty()
               ? TranslatedText(
                     QT_TRANSLATE_NOOP("Message", "sent, not yet moved to the sent faxes"))
               : TranslatedText(
                     QT_TRANSLATE_NOOP("Message", "sent; could not be moved to sent/: %1"),
                     fax.state.moveError);
}

int List(const std::string& localFolders) {
    const OutboxReader reader(localFolders);
    const std::time_t now = DefaultClock().Now();
    for (const StoredFax& fax : reader.List(now)) {
        std::string line = Printable(fax.name) + ": ";
        switch (fax.status) {
            case StoredFax::Status::Ready:
                line +=
                    TranslatedText(QT_TRANSLATE_NOOP("Message", "to %1"), fax.message.to) + "; " +
                    DocumentNames(fax.documents) + "; " + StateWords(fax, now) + "; " +
                    CountedText(QT_TRANSLATE_N_NOOP("Message", "%n attempts"), fax.state.attempts);
                if (!fax.state.lastError.empty())
                    line += "; " + TranslatedText(QT_TRANSLATE_NOOP("Message", "last error: %1"),
                                                  fax.state.lastError);
                break;
            case StoredFax::Status::Accepted:
                line += TranslatedText(QT_TRANSLATE_NOOP("Message", "to %1"), fax.message.to) +
                        "; " + StateWords(fax, now);
                break;
            case StoredFax::Status::Writing:
                line += TranslatedText(QT_TRANSLATE_NOOP("Message", "still being written"));
                break;
            case StoredFax::Status::Broken:
                line +=
                    TranslatedText(QT_TRANSLATE_NOOP("Message", "cannot be sent: %1"), fax.problem);
                break;
        }
        std::printf("%s\n", Printable(line).c_str());
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "corvinaport-outbox", kHelp))
        return *answered;
    // Texts in the user's language; the C locale keeps them as written.
    QCoreApplication app(argc, argv);
    LoadTranslations(app);
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) return Usage(TranslatedText(QT_TRANSLATE_NOOP("Message", "missing command")));
    const std::string command = args.front();
    args.erase(args.begin());
    const bool byName = command == "mark-sent" || command == "hold" || command == "delete";
    if (command != "list" && command != "send" && !byName)
        return Usage(
            TranslatedText(QT_TRANSLATE_NOOP("Message", "unknown command %1"), Printable(command)));
    OutboxSender::Mode mode = OutboxSender::Mode::User;
    bool tab = false;
    std::vector<std::string> names;
    for (const auto& a : args) {
        if (a == "--due" && command == "send" && mode == OutboxSender::Mode::User)
            mode = OutboxSender::Mode::Due;
        else if (a == "--again" && command == "send" && mode == OutboxSender::Mode::User)
            mode = OutboxSender::Mode::Again;
        else if (a == "--tab" && command != "list")
            tab = true;
        else if (!a.empty() && a[0] == '-')
            return Usage(TranslatedText(
                QT_TRANSLATE_NOOP("Message", "unknown or conflicting option %1"), Printable(a)));
        else
            names.push_back(a);
    }
    if (command == "list" && !names.empty())
        return Usage(TranslatedText(QT_TRANSLATE_NOOP("Message", "list takes no folder names")));
    if (byName && names.empty())
        return Usage(
            TranslatedText(QT_TRANSLATE_NOOP("Message", "%1 needs a folder name"), command));
    if (mode == OutboxSender::Mode::Again && names.empty())
        return Usage(
            TranslatedText(QT_TRANSLATE_NOOP("Message", "--again sends only the folders named")));

    // Body files left by a sender that stopped hold the password: gone.
    (void)RemoveAbandonedBodyFiles();

    SecretServicePasswordStore secrets;  // the password as the wizard reads it
    InstallPasswordStore(&secrets);
    AppSettings settings;
    settings.general.Load();
    settings.connection.Load();
    settings.directory.Load();
    std::string& local = settings.directory.LocalFolders;
    if (local.empty()) {
        std::fprintf(
            stderr, "corvinaport-outbox: %s\n",
            TranslatedText(QT_TRANSLATE_NOOP("Message", "the settings name no LocalFolders"))
                .c_str());
        return 1;
    }
    if (local.back() != '/') local += '/';

    if (command == "list") return List(local);
    if (command == "hold" || command == "delete") {
        int status = 0;
        for (const auto& name : names) {
            const Result<> done = command == "hold"
                                      ? HoldFax(local, name)
                                      : DeleteFax(local, "outbox", name, std::time(nullptr));
            const std::string outcome =
                !done ? TranslatedText(QT_TRANSLATE_NOOP("Message", "not changed: %1"),
                                       done.failure().cause)
                : command == "hold" ? TranslatedText(QT_TRANSLATE_NOOP("Message", "held"))
                                    : TranslatedText(QT_TRANSLATE_NOOP("Message", "deleted"));
            std::printf("%s\n", Printable(name + ": " + outcome).c_str());
            if (!done) status = 1;
        }
        return status;
    }
    // Deleted faxes are kept for a while, then go.
    (void)PurgeDeleted(local, std::time(nullptr));

    OutboxSender sender(settings);
    sender.limits = LoadRetryLimits();
    bool allSent = true;
    using Kind = OutboxSender::Result::Kind;
    auto report = [&allSent, tab](const OutboxSender::Result& r) {
        const bool fine = r.kind == Kind::Sent || r.kind == Kind::SentNotMoved ||
                          r.kind == Kind::Moved || r.kind == Kind::MoveFailed ||
                          r.kind == Kind::NotDue || r.kind == Kind::Held;
        if (!fine) allSent = false;
        if (tab)
            std::printf("%s\t%s\t%s\n", Printable(r.name).c_str(), KindWord(r.kind),
                        Printable(r.failure.text()).c_str());
        else
            std::printf("%s\n", Printable(r.name + ": " + DescribeResult(r)).c_str());
        std::fflush(stdout);
    };
    if (command == "mark-sent") {
        for (const auto& name : names) report(sender.MarkSent(name));
        return allSent ? 0 : 1;
    }
    sender.onResult = report;
    (void)sender.Send(names, mode);
    return allSent ? 0 : 1;
}
