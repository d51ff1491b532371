#include "wizard/OutboxMessage.h"

#include "wizard/FileReplace.h"

namespace {

// Appends text with every line feed written as CR LF; a CR LF already there
// stays one line end.
void AppendText(std::string& out, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
        out += c;
    }
}

class LineWriter {
  public:
    explicit LineWriter(std::string& out) : out_(out) {}

    void Text(const char* label, const std::string& value) {
        std::string line = label;
        for (char c : value) line += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
        Add(line);
    }
    void Number(const char* label, std::int32_t value) {
        Add(std::string(label) + std::to_string(value));
    }
    void Plain(const char* line) { Add(line); }
    [[nodiscard]] bool ok() const { return ok_; }

  private:
    void Add(const std::string& line) {
        // The line and its line feed must fit the reader's line buffer.
        if (line.size() + 1 >= OutboxMessage::kMaxLineBytes) ok_ = false;
        out_ += line;
        out_ += "\r\n";
    }

    std::string& out_;
    bool ok_ = true;
};

}  // namespace

std::optional<std::string> OutboxMessage::Render() const {
    std::string out;
    LineWriter lines(out);
    lines.Text("from: ", from);
    lines.Text("to: ", to);
    lines.Text("cc: ", cc);
    lines.Text("bcc: ", bcc);
    lines.Text("subject: ", subject);
    lines.Text("dir: ", dir);
    lines.Number("year: ", year);
    lines.Number("month: ", month);
    lines.Number("day: ", day);
    lines.Number("hour: ", hour);
    lines.Number("minute: ", minute);
    lines.Number("second: ", second);
    lines.Number("msgtype: ", msgtype);
    lines.Number("size: ", size);
    lines.Plain("body:");
    AppendText(out, body);
    out += "\r\n";
    lines.Plain("attachment:");
    for (const std::string& path : attachments) {
        for (char c : path) out += (c == '\r' || c == '\n' || c == '\0') ? ' ' : c;
        out += "\r\n";
    }
    if (!lines.ok()) return std::nullopt;
    return out;
}

bool OutboxMessage::WriteMessageFile(const std::string& path) const {
    const auto bytes = Render();
    return bytes && WriteFileReplacing(path, *bytes);
}
