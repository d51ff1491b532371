#include "wizard/outbox/sender/OutboxSender.h"

#include <cerrno>
#include <cstring>

#include "app/core/Translate.h"
#include "transport/FaxSender.h"

namespace {

using Kind = OutboxSender::Result::Kind;
using Mode = OutboxSender::Mode;

OutboxSender::Result Make(const std::string& name, Kind kind, Failure failure = {}) {
    OutboxSender::Result r;
    r.name = name;
    r.kind = kind;
    r.failure = std::move(failure);
    return r;
}

bool Unusable(const StoredFax& fax) {
    return fax.status == StoredFax::Status::Broken || fax.status == StoredFax::Status::Writing;
}

// The send.state could not be written before anything went out.
Failure NotRecorded(const std::string& folder) {
    Failure failure = FromErrno("cannot record the attempt in " + folder + "/" + kSendStateName);
    failure.cause += "; nothing was sent";
    return failure;
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
    const auto moved = MoveToSent(fax.folder, fax.name, reader.sentFolder());
    if (moved) return Make(fax.name, now ? Kind::Sent : Kind::Moved);
    // Still sent: the move is tried again quietly at the next round.
    if (state.moveError != moved.failure().cause) {
        state.moveError = moved.failure().cause;
        (void)WriteSendState(fax.folder, state);
    }
    return Make(fax.name, now ? Kind::SentNotMoved : Kind::MoveFailed, moved.failure());
}

OutboxSender::Opened OutboxSender::Open(const std::string& name) const {
    Opened opened;
    const OutboxReader reader(settings_.directory.LocalFolders);
    const auto refuse = [&](Kind kind, std::string cause = {}) {
        opened.fax.reset();
        opened.refused = Make(name, kind, Fail(std::move(cause)));
        return std::move(opened);
    };
    opened.fax = reader.Read(name, clock_.Now());
    if (!opened.fax) return refuse(Kind::Missing, "no such stored fax");
    if (Unusable(*opened.fax)) return refuse(Kind::Skipped, opened.fax->problem);
    switch (opened.lock.emplace(opened.fax->folder).result()) {
        case OutboxLock::Result::Held:
            break;
        case OutboxLock::Result::Busy:
            return refuse(Kind::Busy);
        case OutboxLock::Result::Replaced:
            return refuse(Kind::Skipped, "its folder was replaced while it was being opened");
        case OutboxLock::Result::Missing:
            return refuse(Kind::Missing, "no such stored fax");
    }
    // Read again under the lock: another sender may have finished it.
    opened.fax = reader.Read(name, clock_.Now());
    if (!opened.fax) return refuse(Kind::Missing, "no such stored fax");
    if (Unusable(*opened.fax)) return refuse(Kind::Skipped, opened.fax->problem);
    return opened;
}

OutboxSender::Result OutboxSender::SendOne(const std::string& name, Mode mode, bool named) {
    Opened opened = Open(name);
    if (!opened.fax) return opened.refused;
    // The lock is ours: nobody else is sending it.
    const StoredFax& fax = *opened.fax;
    switch (StateOf(fax.state, false)) {
        case FaxState::Sent:
            return Move(fax, fax.state, false);
        case FaxState::Sending:
        case FaxState::Unknown:
            if (mode != Mode::Again)
                return Make(name, Kind::Undecided,
                            Fail(fax.state.unknownWhy, DescribeUnknown(fax.state)));
            break;
        case FaxState::Held:
            if (mode == Mode::Due)
                return Make(name, Kind::Held,
                            Fail({}, TranslatedText(QT_TRANSLATE_NOOP("Message", "held"))));
            break;
        case FaxState::Failed:
            if (mode == Mode::Due || !named)
                return Make(
                    name, Kind::Held,
                    Fail(fax.state.lastError,
                         CountedText(QT_TRANSLATE_N_NOOP("Message", "failed after %n tries"),
                                     fax.state.attempts) +
                             ": " + fax.state.lastError));
            break;
        case FaxState::Waiting:
            if (mode == Mode::Due && !RetryDue(fax.state, clock_.Now()))
                return Make(name, Kind::NotDue);
            break;
    }
    return Attempt(fax);
}

OutboxSender::Result OutboxSender::Attempt(const StoredFax& fax) {
    // The attempt is counted before it is made, so a crash in the middle
    // still moves the back-off on.
    SendState state = fax.state;
    send_state::BeginAttempt(state, clock_.Now());
    if (!WriteSendState(fax.folder, state))
        return Make(fax.name, Kind::Failed, NotRecorded(fax.folder));

    FaxSender sender(settings_, clock_);
    sender.bodyFolder = bodyFolder;
    // Nothing goes out until the record says an upload began.
    sender.beforeUpload = [&]() -> ::Result<> {
        SendState uploading = state;
        send_state::BeginUpload(uploading, clock_.Now());
        if (!WriteSendState(fax.folder, uploading)) return NotRecorded(fax.folder);
        state = uploading;
        return {};
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
        return Make(fax.name, Kind::Unknown, Fail(why, DescribeUnknown(state)));
    }
    send_state::FailedBeforeUpload(state, clock_.Now(), why, outcome.cause == HttpFailure::Stopped,
                                   limits);
    // When even this cannot be written, the record still says an upload
    // began, and the fax waits for the user's word.
    (void)WriteSendState(fax.folder, state);
    return Make(fax.name, state.failed ? Kind::GaveUp : Kind::Failed, Fail(why));
}

OutboxSender::Result OutboxSender::MarkSent(const std::string& name) {
    Opened opened = Open(name);
    if (!opened.fax) return opened.refused;
    SendState state = opened.fax->state;
    if (!state.accepted) {
        send_state::Accepted(state);
        if (!WriteSendState(opened.fax->folder, state))
            return Make(name, Kind::Failed, FromErrno("cannot record it as sent"));
    }
    return Move(*opened.fax, state, false);
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
                QT_TRANSLATE_NOOP("Message", "sent; could not be moved to sent/: %1"),
                result.failure.text());
        case Kind::Moved:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "sent earlier; moved to the sent faxes"));
        case Kind::MoveFailed:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "sent earlier; still not moved to sent/: %1"),
                result.failure.text());
        case Kind::Failed:
        case Kind::Held:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "not sent: %1"),
                                  result.failure.text());
        case Kind::GaveUp:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "not sent, and no longer tried automatically: %1"),
                result.failure.text());
        case Kind::Unknown:
        case Kind::Undecided:
            return TranslatedText(QT_TRANSLATE_NOOP("Message",
                                                    "%1; not sent again (send --again to send it, "
                                                    "mark-sent if it arrived)"),
                                  result.failure.text());
        case Kind::Busy:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "busy: another sender has it"));
        case Kind::NotDue:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "waiting for its next attempt"));
        case Kind::Skipped:
        case Kind::Missing:
            return TranslatedText(QT_TRANSLATE_NOOP("Message", "skipped: %1"),
                                  result.failure.text());
    }
    return {};
}
