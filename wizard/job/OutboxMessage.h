#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>

#include "base/Failure.h"

// The record of one stored fax, written as the message file "msg.qvm" of its
// outbox folder.
class OutboxMessage {
  public:
    std::string from;
    std::string to;
    std::string cc;
    std::string bcc;
    std::string subject;
    std::string body;
    std::string dir;
    std::int32_t year = 0;
    std::int32_t month = 0;
    std::int32_t day = 0;
    std::int32_t hour = 0;
    std::int32_t minute = 0;
    std::int32_t second = 0;
    std::int32_t msgtype = 0;
    std::int32_t size = 0;
    std::list<std::string> attachments;

    // A header line, label and line feed included, stays below this many bytes.
    static constexpr std::size_t kMaxLineBytes = 512;

    // The bytes of the message file, every line ended with CR LF. A header
    // value that would make its line kMaxLineBytes or longer gives nullopt.
    // Line breaks inside header values become blanks, so a value cannot add
    // lines of its own; the same holds for attachment paths.
    [[nodiscard]] std::optional<std::string> Render() const;

    // Writes the message file at path, replacing an existing one. False when
    // a header line is too long or the file cannot be written.
    [[nodiscard]] bool WriteMessageFile(const std::string& path) const;

    // Reads the bytes of a message file back: the fourteen header lines in
    // their order, "body:", the body, "attachment:" and one path a line.
    // Lines end with CR LF or LF. Anything else fails with what was wrong.
    [[nodiscard]] static Result<OutboxMessage> Parse(std::string_view bytes);
};
