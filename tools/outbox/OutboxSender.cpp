#include "tools/outbox/OutboxSender.h"

#include "transport/FaxSender.h"

namespace {

using Kind = OutboxSender::Result::Kind;

OutboxSender::Result Make(const std::string& name, Kind kind, std::string text = {}) {
    OutboxSender::Result r;
    r.name = name;
    r.kind = kind;
    r.text = std::move(text);
    return r;
}

}  // namespace

OutboxSender::OutboxSender(const AppSettings& settings, Clock& clock)
    : settings_(settings), clock_(clock) {}

std::vector<OutboxSender::Result> OutboxSender::Send(const std::vector<std::string>& names,
                                                     bool onlyDue) {
    std::vector<std::string> wanted = names;
    if (wanted.empty()) {
        const OutboxReader reader(settings_.directory.LocalFolders);
        for (const auto& fax : reader.List(clock_.Now())) wanted.push_back(fax.name);
    }
    std::vector<Result> results;
    for (const auto& name : wanted) {
        results.push_back(SendOne(name, onlyDue));
        if (onResult) onResult(results.back());
    }
    return results;
}

OutboxSender::Result OutboxSender::SendOne(const std::string& name, bool onlyDue) {
    const OutboxReader reader(settings_.directory.LocalFolders);
    auto found = reader.Read(name, clock_.Now());
    if (!found) return Make(name, Kind::Missing, "no such stored fax");
    if (found->status == StoredFax::Status::Broken || found->status == StoredFax::Status::Writing)
        return Make(name, Kind::Skipped, found->problem);

    OutboxLock lock(found->folder);
    if (!lock.held()) return Make(name, Kind::Busy);
    // Read again under the lock: another sender may have finished it.
    found = reader.Read(name, clock_.Now());
    if (!found) return Make(name, Kind::Missing, "no such stored fax");
    StoredFax& fax = *found;

    auto moveToSent = [&](Kind kind) {
        std::string problem;
        if (!MoveToSent(fax.folder, fax.name, reader.sentFolder(), &problem))
            return Make(name, Kind::Failed, "accepted, but " + problem);
        return Make(name, kind);
    };
    switch (fax.status) {
        case StoredFax::Status::Accepted:
            return moveToSent(Kind::Moved);
        case StoredFax::Status::Writing:
        case StoredFax::Status::Broken:
            return Make(name, Kind::Skipped, fax.problem);
        case StoredFax::Status::Ready:
            break;
    }
    if (onlyDue && !RetryDue(fax.state, clock_.Now())) return Make(name, Kind::NotDue);

    // The attempt is counted before it is made, so a crash in the middle
    // still moves the back-off on.
    SendState state = fax.state;
    ++state.attempts;
    state.lastAttempt = clock_.Now();
    if (!WriteSendState(fax.folder, state))
        return Make(name, Kind::Failed, "cannot write " + fax.folder + "/" + kSendStateName);

    FaxSender sender(settings_, clock_);
    sender.bodyFolder = bodyFolder;
    const SendOutcome outcome =
        sender.Submit(fax.message.from, fax.message.to, fax.documents, nullptr);
    if (!outcome.accepted) {
        state.lastError = outcome.Detail();
        (void)WriteSendState(fax.folder, state);
        return Make(name, Kind::Failed, state.lastError);
    }
    state.accepted = true;
    state.lastError.clear();
    // Recorded before the move: a crash between the two never sends it again.
    // When it cannot be recorded the move still makes it history.
    (void)WriteSendState(fax.folder, state);
    return moveToSent(Kind::Sent);
}

std::string DescribeResult(const OutboxSender::Result& result) {
    switch (result.kind) {
        case Kind::Sent:
            return "sent";
        case Kind::Moved:
            return "sent earlier; moved to the sent faxes";
        case Kind::Failed:
            return "not sent: " + result.text;
        case Kind::Busy:
            return "busy: another sender has it";
        case Kind::NotDue:
            return "waiting for its next attempt";
        case Kind::Skipped:
        case Kind::Missing:
            return "skipped: " + result.text;
    }
    return {};
}
