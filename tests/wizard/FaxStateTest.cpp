// The stored fax's states: the record, the back-off, the limits and the moves.
#include <gtest/gtest.h>

#include "wizard/job/FaxState.h"

namespace {

constexpr std::time_t kT = 1700000000;

}  // namespace

TEST(SendState, EveryFieldRoundTripsAndGarbageIsIgnored) {
    SendState s;
    s.attempts = 3;
    s.lastAttempt = kT;
    s.lastError = "The upload failed:\nbroken";
    s.sendingSince = kT + 1;
    s.unknownWhy = "no\r\nanswer";
    s.held = s.failed = true;
    s.firstFailure = kT - 60;
    s.moveError = "cannot make sent";
    const std::string text = s.Render();
    EXPECT_EQ(text,
              "attempts: 3\nlast-attempt: 1700000000\nlast-error: The upload failed: broken\n"
              "accepted: no\nsending-since: 1700000001\nunknown: no  answer\nhold: yes\n"
              "failed: yes\nfirst-failure: 1699999940\nmove-error: cannot make sent\n");
    EXPECT_EQ(SendState::Parse(text).Render(), text);
    // Only what a sender wrote before these fields existed.
    EXPECT_EQ(SendState{}.Render(), "attempts: 0\nlast-attempt: 0\nlast-error: \naccepted: no\n");

    const SendState odd =
        SendState::Parse("attempts: -4\ngarbage\naccepted: yes\nsending-since: 12x\nhold: no");
    EXPECT_EQ(std::tie(odd.attempts, odd.accepted, odd.sendingSince, odd.held),
              std::make_tuple(0, true, 0, false));
}

TEST(FaxState, StateFollowsTheRecordAndTheLock) {
    auto with = [](auto change) {
        SendState s;
        change(s);
        return s;
    };
    const struct {
        const char* name;
        SendState state;
        FaxState idle, busy;
    } kCases[] = {
        {"new", {}, FaxState::Waiting, FaxState::Sending},
        {"held", with([](SendState& s) { s.held = true; }), FaxState::Held, FaxState::Sending},
        {"failed", with([](SendState& s) { s.failed = true; }), FaxState::Failed,
         FaxState::Sending},
        {"uploading", with([](SendState& s) { s.sendingSince = kT; }), FaxState::Unknown,
         FaxState::Sending},
        {"uploading and held", with([](SendState& s) { s.sendingSince = kT, s.held = true; }),
         FaxState::Unknown, FaxState::Sending},
        {"accepted", with([](SendState& s) { s.accepted = true, s.sendingSince = kT; }),
         FaxState::Sent, FaxState::Sent},
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(std::tuple(StateOf(c.state, false), StateOf(c.state, true)),
                  std::tuple(c.idle, c.busy))
            << c.name;
    }
}

// The moves along the machine: stop holds, the limit fails, a lost answer is unknown.
TEST(FaxState, AttemptsMoveTheRecordAlong) {
    SendState s;
    s.held = true;
    send_state::BeginAttempt(s, kT);
    EXPECT_EQ(StateOf(s, false), FaxState::Waiting);
    send_state::BeginUpload(s, kT);
    EXPECT_EQ(StateOf(s, false), FaxState::Unknown);
    send_state::FailedBeforeUpload(s, kT, "refused", false, {});
    EXPECT_EQ(std::tuple(StateOf(s, false), s.firstFailure), std::tuple(FaxState::Waiting, kT));

    send_state::BeginAttempt(s, kT + 60);
    send_state::FailedBeforeUpload(s, kT + 60, "stopped by the user", true, {});
    EXPECT_EQ(StateOf(s, false), FaxState::Held);

    for (int i = 0; i < 8; ++i) {
        send_state::BeginAttempt(s, kT + 120);
        send_state::FailedBeforeUpload(s, kT + 120, "refused", false, {});
    }
    EXPECT_EQ(std::tuple(StateOf(s, false), s.attempts), std::tuple(FaxState::Failed, 10));

    send_state::BeginAttempt(s, kT + 180);
    send_state::BeginUpload(s, kT + 180);
    send_state::OutcomeUnknown(s, "the connection broke off");
    EXPECT_EQ(std::tuple(StateOf(s, false), s.unknownWhy),
              std::tuple(FaxState::Unknown, std::string("the connection broke off")));
    send_state::Accepted(s);
    EXPECT_EQ(StateOf(s, false), FaxState::Sent);
}

// What the user is told happens next, for each state.
TEST(FaxState, WhatHappensNextIsSaidForEachState) {
    SendState s;
    s.held = true;
    EXPECT_EQ(WhatHappensNext(s, kT), "Your fax is kept in the outbox until you send it.");
    s = {};
    EXPECT_EQ(WhatHappensNext(s, kT), "Your fax is kept in the outbox and tried again shortly.");
    send_state::BeginAttempt(s, kT);
    std::tm local{};
    const std::time_t next = kT + 60;
    ASSERT_TRUE(localtime_r(&next, &local));
    char at[8];
    ASSERT_GT(std::strftime(at, sizeof at, "%H:%M", &local), 0u);
    EXPECT_EQ(WhatHappensNext(s, kT),
              std::string("Your fax is kept in the outbox and tried again at ") + at + ".");
    send_state::BeginUpload(s, kT);
    EXPECT_EQ(WhatHappensNext(s, kT),
              "It is kept in the outbox and not sent again until you decide.");
    send_state::Accepted(s);
    EXPECT_EQ(WhatHappensNext(s, kT), "");
}
