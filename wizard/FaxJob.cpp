#include "wizard/FaxJob.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

void Recipient::SetFaxNumber(const std::string& text) {
    faxNumber.clear();
    for (char c : text)
        if (IsDigit(c)) faxNumber += c;
}

std::string FaxJob::BuildRecipientLine() const {
    std::string line;
    for (const auto& recipient : RecipientList) {
        if (!recipient) continue;
        line += recipient->displayLine;
        line += ", ";
    }
    const auto last = line.find_last_not_of(" ,");
    line.erase(last == std::string::npos ? 0 : last + 1);
    return line;
}

std::string FaxNumbersToAddresses(const std::string& s, std::string_view gatewayDomain) {
    // One pass: the line is copied into out as it is rewritten, so every
    // character is looked at a fixed number of times. Positions that lie
    // ahead in the line (start) count as if the copied text were followed by
    // the rest of s.
    std::string out;
    out.reserve(s.size() + s.size() / 2);
    std::size_t in = 0;     // first character of s not copied yet
    std::size_t start = 0;  // where the current entry begins, in out's terms
    std::size_t quote = s.find('"');
    for (std::size_t close = s.find('>'); close != std::string::npos; close = s.find('>', in)) {
        out.append(s, in, close - in);
        in = close + 1;
        if (out.empty() || !IsDigit(out.back())) {
            out += '>';
            start = out.size() + 1;
            continue;
        }
        // Drop the display name, its quotes, the blank and the "<" in front
        // of the number. A "<" only counts when it opens this entry.
        if (start < out.size()) {
            const std::size_t open = out.find('<', start);
            if (open != std::string::npos) out.erase(start, open + 1 - start);
        }
        out += gatewayDomain;
        // The next entry begins at the next double quote, if any.
        if (quote != std::string::npos && quote < in) quote = s.find('"', in);
        start = quote == std::string::npos ? out.size() : out.size() + (quote - in);
    }
    out.append(s, in, std::string::npos);
    return out;
}
