#include "wizard/outbox/sender/OutboxSender.h"

#include <cerrno>
#include <cstring>

#include "app/core/Translate.h"
#include "transport/FaxSender.h"

namespace {

using Kind = OutboxSender::Result::Kind;
using Mode = OutboxSender::Mode;

OutboxSender::Result Make(const std::string& name, Kind kind, std::string text = {}) {
    OutboxSender::Result r;
    r.name = name;
    r.kind = kind;
    r.text = std::move(text);
    return r;
}

// "14:05", with the date in front when it is not today.
std::string At(std::time_t when, std::time_t now) {
    std::tm then{};
    std::tm today{};
    if (!localtime_r(&when, &then) || !localtime_r(&now, &today)) return {};
    char text[32];
    const bool sameDay = then.tm_year == today.tm_year && then.tm_yday == today.tm_yday;
    if (std::strftime(text, sizeof text, sameDay ? "%H:%M" : "%Y-%m-%d %H:%M", &then) == 0)
        return {};
    return text;
}

}  // namespace

std::string DescribeUnknown(const SendState& state) {
    const std::string at = At(state.sendingSince, std::time(nullptr));
    if (state.unknownWhy.empty())
        return TranslatedText(
            QT_TRANSLATE_NOOP("Message",
                              "May have been sent: the program stopped while sending at %1"),
            at);
    return TranslatedText(QT_TRANSLATE_NOOP("Message", "May have been sent: %1 (at %2)"),
                          state.unknownWhy, at);
}

OutboxSender::OutboxSender(const AppSettings& settings, Clock& clock)
    : settings_(settings), clock_(clock) {}

std::vector<OutboxSender::Result> OutboxSender::Send(const std::vector<std::string>& names,
                                                     Mode mode) {
    std::vector<std::string> wanted = names;
    if (wanted.empty()) {
        const OutboxReader reader(settings_.directory.LocalFolders);
        for (const auto& fax : reader.List(clock_.Now())) wanted.push_back(fax.name);
    }
    std::vector<Result> results;
    for (const auto& name : wanted) {
        results.push_back(SendOne(name, mode, !names.empty()));
        if (onResult) onResult(results.back());
    }
    return results;
}

OutboxSender::Result OutboxSender::Move(const StoredFax& fax, SendState state, bool now) {
    const OutboxReader reader(settings_.directory.LocalFolders);
    std::string problem;
    if (MoveToSent(fax.folder, fax.name, reader.sentFolder(), &problem))
        return Make(fax.name, now ? Kind::Sent : Kind::Moved);
    // Still sent: the move is tried again quietly at the next round.
    if (state.moveError != problem) {
        state.moveError = problem;
        (void)WriteSendState(fax.folder, state);
    }
    return Make(fax.name, now ? Kind::SentNotMoved : Kind::MoveFailed, problem);
}

OutboxSender::Result OutboxSender::SendOne(const std::string& name, Mode mode, bool named) {
    const OutboxReader reader(settings_.directory.LocalFolders);
    auto found = reader.Read(name, clock_.Now());
    if (!found) return Make(name, Kind::Missing, "no such stored fax");
    if (found->status == StoredFax::Status::Broken || found->status == StoredFax::Status::Writing)
        return Make(name, Kind::Skipped, found->problem);

    const OutboxLock lock(found->folder);
    switch (lock.result()) {
        case OutboxLock::Result::Held:
            break;
        case OutboxLock::Result::Busy:
            return Make(name, Kind::Busy);
        case OutboxLock::Result::Replaced:
            return Make(name, Kind::Skipped, "its folder was replaced while it was being opened");
        case OutboxLock::Result::Missing:
            return Make(name, Kind::Missing, "no such stored fax");
    }
    // Read again under the lock: another sender may have finished it.
    found = reader.Read(name, clock_.Now());
    if (!found) return Make(name, Kind::Missing, "no such stored fax");
    StoredFax& fax = *found;
    if (fax.status == StoredFax::Status::Broken || fax.status == StoredFax::Status::Writing)
        return Make(name, Kind::Skipped, fax.problem);

    // The lock is ours: nobody else is sending it.
    switch (StateOf(fax.state, false)) {
        case FaxState::Sent:
            return Move(fax, fax.state, false);
        case FaxState::Sending:
        case FaxState::Unknown:
            if (mode != Mode::Again) return Make(name, Kind::Undecided, DescribeUnknown(fax.state));
            break;
        case FaxState::Held:
            if (mode == Mode::Due)
                return Make(name, Kind::Held, TranslatedText(QT_TRANSLATE_NOOP("Message", "held")));
            break;
        case FaxState::Failed:
            if (mode == Mode::Due || !named)
                return Make(name, Kind::Held,
                            CountedText(QT_TRANSLATE_N_NOOP("Message", "failed after %n tries"),
                                        fax.state.attempts) +
                                ": " + fax.state.lastError);
            break;
        case FaxState::Waiting:
            if (mode == Mode::Due && !RetryDue(fax.state, clock_.Now()))
                return Make(name, Kind::NotDue);
            break;
    }

    // The attempt is counted before it is made, so a crash in the middle
    // still moves the back-off on.
    SendState state = fax.state;
    send_state::BeginAttempt(state, clock_.Now());
    if (!WriteSendState(fax.folder, state))
        return Make(name, Kind::Failed,
                    "cannot record the attempt in " + fax.folder + "/" + kSendStateName + ": " +
                        std::strerror(errno) + "; nothing was sent");

    FaxSender sender(settings_, clock_);
    sender.bodyFolder = bodyFolder;
    // Nothing goes out until the record says an upload began.
    sender.beforeUpload = [&](std::string* why) {
        SendState uploading = state;
        send_state::BeginUpload(uploading, clock_.Now());
        if (WriteSendState(fax.folder, uploading)) {
            state = uploading;
            return true;
        }
        *why = "cannot record the attempt in " + fax.folder + "/" + kSendStateName + ": " +
               std::strerror(errno) + "; nothing was sent";
        return false;
    };
    const SendOutcome outcome =
        sender.Submit(fax.message.from, fax.message.to, fax.documents, nullptr);
    if (outcome.accepted) {
        send_state::Accepted(state);
        // Recorded before the move. Should even this fail (a full disk), the
        // record still says an upload began: the fax is never sent again by
        // itself.
        (void)WriteSendState(fax.folder, state);
        return Move(fax, state, true);
    }
    const std::string why = outcome.Detail();
    if (outcome.uncertain) {
        send_state::OutcomeUnknown(state, why);
        (void)WriteSendState(fax.folder, state);
        return Make(name, Kind::Unknown, DescribeUnknown(state));
    }
    send_state::FailedBeforeUpload(state, clock_.Now(), why, outcome.cause == HttpFailure::Stopped,
                                   limits);
    // When even this cannot be written, the record still says an upload
    // began, and the fax waits for the user's word.
    (void)WriteSendState(fax.folder, state);
    return Make(name, state.failed ? Kind::GaveUp : Kind::Failed, why);
}

OutboxSender::Result OutboxSender::MarkSent(const std::string& name) {
    const OutboxReader reader(settings_.directory.LocalFolders);
    auto found = reader.Read(name, clock_.Now());
    if (!found) return Make(name, Kind::Missing, "no such stored fax");
    if (found->status == StoredFax::Status::Broken || found->status == StoredFax::Status::Writing)
        return Make(name, Kind::Skipped, found->problem);
    const OutboxLock lock(found->folder);
    if (lock.result() == OutboxLock::Result::Busy) return Make(name, Kind::Busy);
    if (!lock.held()) return Make(name, Kind::Skipped, "its folder was replaced");
    found = reader.Read(name, clock_.Now());
    if (!found || found->status == StoredFax::Status::Broken)
        return Make(name, Kind::Missing, "no such stored fax");
    SendState state = found->state;
    if (!state.accepted) {
        send_state::Accepted(state);
        if (!WriteSendState(found->folder, state))
            return Make(name, Kind::Failed,
                        std::string("cannot record it as sent: ") + std::strerror(errno));
    }
    return Move(*found, state, false);
}

const char* KindWord(Kind kind) {
    switch (kind) {
        case Kind::Sent:
            return "sent";
        case Kind::SentNotMoved:
            return "sent-not-moved";
        case Kind::Moved:
            return "moved";
        case Kind::MoveFailed:
            return "move-failed";
        case Kind::Failed:
            return "failed";
        case Kind::GaveUp:
            return "gave-up";
        case Kind::Unknown:
            return "unknown";
        case Kind::Undecided:
            return "undecided";
        case Kind::Held:
            return "held";
        case Kind::Busy:
            return "busy";
        case Kind::NotDue:
            return "not-due";
        case Kind::Skipped:
            return "skipped";
        case Kind::Missing:
            return "missing";
    }
    return "";
}

std::string DescribeResult(const OutboxSender::Result& result) {
    switch (result.kind) {
        case Kind::Sent:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "sent"));
        case Kind::SentNotMoved:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "sent; could not be moved to sent/: %1"), result.text);
        case Kind::Moved:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "sent earlier; moved to the sent faxes"));
        case Kind::MoveFailed:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "sent earlier; still not moved to sent/: %1"),
                result.text);
        case Kind::Failed:
        case Kind::Held:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "not sent: %1"), result.text);
        case Kind::GaveUp:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "not sent, and no longer tried automatically: %1"),
                result.text);
        case Kind::Unknown:
        case Kind::Undecided:
            return TranslatedText(QT_TRANSLATE_NOOP("Message",
                                                    "%1; not sent again (send --again to send it, "
                                                    "mark-sent if it arrived)"),
                                  result.text);
        case Kind::Busy:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "busy: another sender has it"));
        case Kind::NotDue:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "waiting for its next attempt"));
        case Kind::Skipped:
        case Kind::Missing:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "skipped: %1"), result.text);
    }
    return {};
}
