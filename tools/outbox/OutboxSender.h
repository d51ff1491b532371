#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/Clock.h"
#include "wizard/OutboxReader.h"

class TaskProgress;

// Sends the faxes stored in the outbox with the wizard's own submission, and
// moves each accepted one to LocalFolders + "sent/".
//
// Exactly once: a fax is sent only under its folder's lock; "accepted" is
// recorded beside msg.qvm before the folder moves, and a folder found
// accepted is only moved, never sent again.
class OutboxSender {
  public:
    // What became of one stored fax.
    struct Result {
        enum class Kind {
            Sent,     // accepted by the service now, moved to sent/
            Moved,    // accepted earlier; only its move was missing
            Failed,   // not accepted; stays with its attempt counted
            Busy,     // another sender holds it
            NotDue,   // automatic retry waits for its back-off
            Skipped,  // malformed, foreign or still being written
            Missing,  // no such stored fax
        };
        std::string name;
        Kind kind = Kind::Missing;
        std::string text;  // the cause, for Failed and Skipped
    };

    OutboxSender(const AppSettings& settings, Clock& clock = DefaultClock());

    // Sends the named faxes (all of them when names is empty). With onlyDue,
    // a fax is sent only when its back-off has passed.
    [[nodiscard]] std::vector<Result> Send(const std::vector<std::string>& names, bool onlyDue);
    [[nodiscard]] Result SendOne(const std::string& name, bool onlyDue);

    // The folder of body files (see FaxSender); empty: the private default.
    std::string bodyFolder;
    // Called with each fax's line as it is done.
    std::function<void(const Result&)> onResult;

  private:
    const AppSettings& settings_;
    Clock& clock_;
};

// "sent", "failed: ...", "busy" and so on: one line for a result.
[[nodiscard]] std::string DescribeResult(const OutboxSender::Result& result);
