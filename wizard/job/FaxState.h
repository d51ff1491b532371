#pragma once

#include <chrono>
#include <ctime>
#include <string>
#include <string_view>

#include "wizard/job/RetryPolicy.h"

// The life of a stored fax, in one place. Each stored fax is a folder of the
// outbox; what the senders know about it is kept beside "msg.qvm" in
// "send.state" (never inside "msg.qvm", which other programs read).
//
//   state    what it means                               who moves it on
//   -------  ------------------------------------------  -----------------------------
//   Held     the user keeps it (placed in the outbox,     the user: Send now
//            or stopped while it was being sent)
//   Waiting  an attempt failed for a cause outside the    the automatic retry when due,
//            user's hands; tried again on a back-off       or the user
//   Sending  a sender holds its lock and may be           the sender, when it knows
//            uploading it now                              the outcome
//   Unknown  an upload began and its outcome was never    the user only: Send again,
//            learnt (the sender stopped, or the reply      or Mark as sent
//            was lost after the whole fax went out)
//   Failed   the retry limit was reached; no longer        the user: Send now
//            tried automatically
//   Sent     the service accepted it (its folder moves     the sender: the move to
//            to sent/, retried quietly when it cannot)     sent/
//
// Held/Waiting/Failed --send--> Sending: the attempt is counted and, before the
// first byte of the upload, "sending-since" is made durable. From Sending:
// accepted -> Sent; a failure known to lie before the upload was complete ->
// Waiting (or Failed at the limit), or Held when the user stopped it; no
// answer after the whole upload, or no sender left -> Unknown. Nothing but
// the user's own choice ever sends an Unknown fax again, so a fax that may
// have reached the service is never sent twice by itself.

enum class FaxState { Held, Waiting, Sending, Unknown, Failed, Sent };

inline constexpr const char* kSendStateName = "send.state";

// The senders' record of one stored fax.
struct SendState {
    int attempts = 0;
    std::time_t lastAttempt = 0;
    std::string lastError;
    // The service said success: the fax is sent, whether or not its folder
    // has reached sent/ yet.
    bool accepted = false;
    // An upload began at this time and its outcome is not known yet (0: none).
    std::time_t sendingSince = 0;
    // Why the outcome of that upload is unknown, when a sender learnt it
    // (empty: the sender stopped while sending).
    std::string unknownWhy;
    bool held = false;
    // The retry limit was reached.
    bool failed = false;
    // When the first failed attempt of the current run of failures was made.
    std::time_t firstFailure = 0;
    // Accepted, but the move to sent/ failed for this reason.
    std::string moveError;

    // Lines "key: value"; unknown or garbled lines are ignored.
    [[nodiscard]] static SendState Parse(std::string_view bytes);
    [[nodiscard]] std::string Render() const;
};

// The state of a stored fax from its record. busy: another sender holds the
// folder's lock now.
[[nodiscard]] FaxState StateOf(const SendState& state, bool busy);

// What happens next to a fax in this state, in a sentence for the user
// ("Your fax is kept in the outbox and tried again at 14:05."); empty for a
// fax that is sent or being sent.
[[nodiscard]] std::string WhatHappensNext(const SendState& state, std::time_t now);

// The record's changes along the machine above.
namespace send_state {
// An attempt starts: counted, and any earlier hold or give-up ends.
void BeginAttempt(SendState& s, std::time_t now);
// The upload is about to start.
void BeginUpload(SendState& s, std::time_t now);
void Accepted(SendState& s);
// A failure known to lie before the whole upload went out. stopped: the
// user's own stop, which holds the fax.
void FailedBeforeUpload(SendState& s, std::time_t now, const std::string& why, bool stopped,
                        const RetryLimits& limits);
// The whole upload went out and no answer came.
void OutcomeUnknown(SendState& s, const std::string& why);
}  // namespace send_state
