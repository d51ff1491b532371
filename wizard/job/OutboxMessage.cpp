#include "wizard/job/OutboxMessage.h"

#include <charconv>
#include <vector>

#include "base/FileReplace.h"

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

Result<OutboxMessage> OutboxMessage::Parse(std::string_view bytes) {
    if (bytes.find('\0') != std::string_view::npos) return Fail("holds a NUL byte");
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < bytes.size();) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) return Fail("ends inside a line");
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }

    OutboxMessage m;
    struct TextLine {
        const char* label;
        std::string* value;
    };
    const TextLine texts[] = {{"from: ", &m.from}, {"to: ", &m.to},           {"cc: ", &m.cc},
                              {"bcc: ", &m.bcc},   {"subject: ", &m.subject}, {"dir: ", &m.dir}};
    struct NumberLine {
        const char* label;
        std::int32_t* value;
    };
    const NumberLine numbers[] = {{"year: ", &m.year},       {"month: ", &m.month},
                                  {"day: ", &m.day},         {"hour: ", &m.hour},
                                  {"minute: ", &m.minute},   {"second: ", &m.second},
                                  {"msgtype: ", &m.msgtype}, {"size: ", &m.size}};
    std::size_t at = 0;
    auto labelled = [&](std::string_view label, std::string_view& value) {
        if (at >= lines.size() || lines[at].substr(0, label.size()) != label) return false;
        value = lines[at++].substr(label.size());
        return true;
    };
    for (const auto& t : texts) {
        std::string_view value;
        if (!labelled(t.label, value))
            return Fail("line " + std::to_string(at + 1) + " is not \"" + t.label + "...\"");
        t.value->assign(value);
    }
    for (const auto& n : numbers) {
        std::string_view value;
        if (!labelled(n.label, value))
            return Fail("line " + std::to_string(at + 1) + " is not \"" + n.label + "...\"");
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), *n.value);
        if (ec != std::errc() || end != value.data() + value.size() || value.empty())
            return Fail("line " + std::to_string(at) + " holds no number");
    }
    if (at >= lines.size() || lines[at] != "body:")
        return Fail("line " + std::to_string(at + 1) + " is not \"body:\"");
    ++at;
    // The body may hold lines of any kind; the last "attachment:" line ends it.
    std::size_t marker = lines.size();
    for (std::size_t i = lines.size(); i > at; --i)
        if (lines[i - 1] == "attachment:") {
            marker = i - 1;
            break;
        }
    if (marker == lines.size() || marker == at) return Fail("no \"attachment:\" line");
    for (std::size_t i = at; i < marker; ++i) {
        m.body.append(lines[i]);
        if (i + 1 < marker) m.body += '\n';
    }
    for (std::size_t i = marker + 1; i < lines.size(); ++i)
        if (!lines[i].empty()) m.attachments.emplace_back(lines[i]);
    return m;
}
