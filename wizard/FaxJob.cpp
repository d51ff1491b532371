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

std::string FaxNumbersToAddresses(std::string s, std::string_view gatewayDomain) {
    std::size_t start = 0;
    std::size_t pos = s.find('>');
    while (pos != std::string::npos) {
        if (pos > 0 && IsDigit(s[pos - 1])) {
            s.replace(pos, 1, gatewayDomain);
            std::size_t next = pos + gatewayDomain.size();
            // Drop the display name, its quotes, the blank and the "<" in
            // front of the number. A "<" only counts when it opens this entry.
            const std::size_t open = s.find('<', start);
            if (start < s.size() && open != std::string::npos && open < pos) {
                const std::size_t removed = open + 1 - start;
                s.erase(start, removed);
                next -= removed;
            }
            const std::size_t quote = s.find('"', next);
            start = quote == std::string::npos ? next : quote;
            pos = s.find('>', next);
        } else {
            start = pos + 2;
            pos = s.find('>', pos + 1);
        }
    }
    return s;
}
