#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/Clock.h"
#include "wizard/job/OutboxReader.h"

class TaskProgress;

// Sends the faxes stored in the outbox with the wizard's own submission, and
// moves each accepted one to LocalFolders + "sent/". Which faxes it sends
// follows the states of wizard/job/FaxState.h.
//
// Exactly once: a fax is sent only under its folder's lock (bound to the
// folder found at its name); the attempt is recorded before the upload, so a
// fax whose sender stopped, or whose reply was lost after the whole upload,
// is found in the Unknown state and never sent again unless the user says
// so; "accepted" is recorded before the folder moves, and a fax found
// accepted is only moved, never sent again.
class OutboxSender {
  public:
    // Who asks, and so which faxes go.
    enum class Mode {
        Due,    // the automatic retry: waiting faxes whose back-off has passed
        User,   // the user: held and waiting faxes, and failed ones named
        Again,  // the user, for a fax that may have been sent: it goes again
    };

    // What became of one stored fax.
    struct Result {
        enum class Kind {
            Sent,          // accepted by the service now, moved to sent/
            SentNotMoved,  // accepted now; its move to sent/ failed (retried later)
            Moved,         // accepted earlier; only its move was missing
            MoveFailed,    // accepted earlier; its move still fails
            Failed,        // not accepted; stays with its attempt counted
            GaveUp,        // not accepted, and the retry limit is reached now
            Unknown,       // the whole fax went out and no answer came: held
            Undecided,     // found in that state; left for the user to decide
            Held,          // held or failed; not sent this way
            Busy,          // another sender holds it
            NotDue,        // automatic retry waits for its back-off
            Skipped,       // malformed, foreign, still being written, or replaced
            Missing,       // no such stored fax
        };
        std::string name;
        Kind kind = Kind::Missing;
        // Why, where there is a cause; its text() is what the user reads.
        Failure failure;
    };

    OutboxSender(const AppSettings& settings, Clock& clock = DefaultClock());

    // Sends the named faxes (with none named: every held and waiting one in
    // User mode, every waiting one in Due mode).
    [[nodiscard]] std::vector<Result> Send(const std::vector<std::string>& names, Mode mode);
    [[nodiscard]] Result SendOne(const std::string& name, Mode mode, bool named = true);

    // The user's word that a fax which may have been sent did arrive: it is
    // recorded as accepted and moved to sent/, never sent.
    [[nodiscard]] Result MarkSent(const std::string& name);

    // The folder of body files (see FaxSender); empty: the private default.
    std::string bodyFolder;
    RetryLimits limits;
    // Called with each fax's line as it is done.
    std::function<void(const Result&)> onResult;

  private:
    // A stored fax read again under its folder's lock (held in lock), or
    // what stopped that (no fax, refused says why).
    struct Opened {
        std::optional<OutboxLock> lock;
        std::optional<StoredFax> fax;
        Result refused;
    };
    [[nodiscard]] Opened Open(const std::string& name) const;
    // One send of a fax whose lock is held: recorded, submitted, moved.
    [[nodiscard]] Result Attempt(const StoredFax& fax);
    [[nodiscard]] Result Move(const StoredFax& fax, SendState state, bool now);

    const AppSettings& settings_;
    Clock& clock_;
};

// "sent", "not sent: ...", "busy" and so on: one line for a result.
[[nodiscard]] std::string DescribeResult(const OutboxSender::Result& result);
// The result's kind as one word, for programs reading the command's output.
[[nodiscard]] const char* KindWord(OutboxSender::Result::Kind kind);
// "May have been sent: the program stopped while sending at 14:05": the
// unknown state in words.
[[nodiscard]] std::string DescribeUnknown(const SendState& state);
