#include "wizard/job/FaxJob.h"

#include <algorithm>

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

std::vector<std::string> DistinctFileNames(const std::vector<std::string>& paths,
                                           const std::vector<std::string>& reserved) {
    std::vector<std::string> taken = reserved;
    std::vector<std::string> names;
    names.reserve(paths.size());
    auto isTaken = [&taken](const std::string& name) {
        return std::find(taken.begin(), taken.end(), name) != taken.end();
    };
    for (const std::string& path : paths) {
        const auto slash = path.find_last_of('/');
        std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        if (name.empty() || name == "." || name == "..") name = "document";
        // The number goes in front of the extension, so the type stays known.
        const auto dot = name.find_last_of('.');
        const std::size_t cut = dot == std::string::npos || dot == 0 ? name.size() : dot;
        std::string candidate = name;
        for (int n = 2; isTaken(candidate); ++n)
            candidate = name.substr(0, cut) + "-" + std::to_string(n) + name.substr(cut);
        taken.push_back(candidate);
        names.push_back(std::move(candidate));
    }
    return names;
}
