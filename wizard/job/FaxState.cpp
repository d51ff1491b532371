#include "wizard/job/FaxState.h"

#include <algorithm>
#include <charconv>
#include <ctime>
#include <type_traits>

#include "app/core/Translate.h"

namespace {

std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

std::string Time(std::time_t t) { return std::to_string(static_cast<long long>(t)); }

}  // namespace

SendState SendState::Parse(std::string_view bytes) {
    SendState s;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        const std::string_view line = bytes.substr(start, end - start);
        start = end + 1;
        const auto colon = line.find(": ");
        if (colon == std::string_view::npos) continue;
        const std::string_view key = line.substr(0, colon);
        const std::string_view value = line.substr(colon + 2);
        auto number = [&value](auto& out) {
            std::remove_reference_t<decltype(out)> n{};
            const auto [p, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
            if (ec == std::errc() && p == value.data() + value.size() && n >= 0) out = n;
        };
        auto time = [&number](std::time_t& out) {
            long long t = 0;
            number(t);
            out = static_cast<std::time_t>(t);
        };
        if (key == "attempts") {
            number(s.attempts);
        } else if (key == "last-attempt") {
            time(s.lastAttempt);
        } else if (key == "last-error") {
            s.lastError.assign(value);
        } else if (key == "accepted") {
            s.accepted = value == "yes";
        } else if (key == "sending-since") {
            time(s.sendingSince);
        } else if (key == "unknown") {
            s.unknownWhy.assign(value);
        } else if (key == "hold") {
            s.held = value == "yes";
        } else if (key == "failed") {
            s.failed = value == "yes";
        } else if (key == "first-failure") {
            time(s.firstFailure);
        } else if (key == "move-error") {
            s.moveError.assign(value);
        }
    }
    return s;
}

std::string SendState::Render() const {
    std::string out = "attempts: " + std::to_string(attempts) + "\n" +
                      "last-attempt: " + Time(lastAttempt) + "\n" +
                      "last-error: " + OneLine(lastError) + "\n" +
                      "accepted: " + (accepted ? "yes" : "no") + "\n";
    if (sendingSince != 0) out += "sending-since: " + Time(sendingSince) + "\n";
    if (!unknownWhy.empty()) out += "unknown: " + OneLine(unknownWhy) + "\n";
    if (held) out += "hold: yes\n";
    if (failed) out += "failed: yes\n";
    if (firstFailure != 0) out += "first-failure: " + Time(firstFailure) + "\n";
    if (!moveError.empty()) out += "move-error: " + OneLine(moveError) + "\n";
    return out;
}

FaxState StateOf(const SendState& s, bool busy) {
    if (s.accepted) return FaxState::Sent;
    if (s.sendingSince != 0) return busy ? FaxState::Sending : FaxState::Unknown;
    if (busy) return FaxState::Sending;
    if (s.held) return FaxState::Held;
    if (s.failed) return FaxState::Failed;
    return FaxState::Waiting;
}

std::string WhatHappensNext(const SendState& s, std::time_t now) {
    switch (StateOf(s, false)) {
        case FaxState::Held:
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message", "Your fax is kept in the outbox until you send it."));
        case FaxState::Waiting: {
            const std::time_t next = s.attempts > 0 ? NextAttemptAt(s) : now;
            std::tm local{};
            char at[16] = "";
            if (next > now && localtime_r(&next, &local))
                (void)std::strftime(at, sizeof at, "%H:%M", &local);
            if (*at == '\0')
                return TranslatedText(QT_TRANSLATE_NOOP(
                    "Message", "Your fax is kept in the outbox and tried again shortly."));
            return TranslatedText(
                QT_TRANSLATE_NOOP("Message",
                                  "Your fax is kept in the outbox and tried again at %1."),
                std::string(at));
        }
        case FaxState::Unknown:
            return TranslatedText(QT_TRANSLATE_NOOP(
                "Message", "It is kept in the outbox and not sent again until you decide."));
        case FaxState::Failed:
            return TranslatedText(QT_TRANSLATE_NOOP(
                "Message", "Your fax is kept in the outbox; it is no longer tried by itself."));
        case FaxState::Sending:
        case FaxState::Sent:
            break;
    }
    return {};
}

namespace send_state {

void BeginAttempt(SendState& s, std::time_t now) {
    ++s.attempts;
    s.lastAttempt = now;
    s.held = false;
    s.failed = false;
    s.sendingSince = 0;
    s.unknownWhy.clear();
}

void BeginUpload(SendState& s, std::time_t now) { s.sendingSince = now == 0 ? 1 : now; }

void Accepted(SendState& s) {
    s.accepted = true;
    s.sendingSince = 0;
    s.unknownWhy.clear();
    s.lastError.clear();
    s.held = false;
    s.failed = false;
}

void FailedBeforeUpload(SendState& s, std::time_t now, const std::string& why, bool stopped,
                        const RetryLimits& limits) {
    s.sendingSince = 0;
    s.unknownWhy.clear();
    s.lastError = why;
    if (stopped) {
        s.held = true;
        return;
    }
    if (s.firstFailure == 0) s.firstFailure = now;
    s.failed = RetryExhausted(s, now, limits);
}

void OutcomeUnknown(SendState& s, const std::string& why) {
    if (s.sendingSince == 0) s.sendingSince = s.lastAttempt != 0 ? s.lastAttempt : 1;
    s.unknownWhy = why.empty() ? std::string("no answer came") : why;
    s.lastError = why;
}

}  // namespace send_state
