#include "tools/relay/FormParts.h"

std::string DispositionParam(const std::string& headers, const std::string& key) {
    const std::string open = "; " + key + "=\"";
    const std::size_t at = headers.find(open);
    if (at == std::string::npos) return {};
    const std::size_t from = at + open.size();
    const std::size_t end = headers.find('"', from);
    if (end == std::string::npos) return {};
    return headers.substr(from, end - from);
}

std::vector<FormPart> ParseFormParts(const std::string& body, const std::string& boundary) {
    std::vector<FormPart> parts;
    if (boundary.empty()) return parts;
    const std::string text = "\r\n" + body;
    const std::string delimiter = "\r\n--" + boundary;
    std::size_t at = text.find(delimiter);
    while (at != std::string::npos) {
        const std::size_t start = at + delimiter.size();
        if (text.compare(start, 2, "--") == 0) break;    // closing delimiter
        if (text.compare(start, 2, "\r\n") != 0) break;  // not a delimiter line
        const std::size_t next = text.find(delimiter, start);
        if (next == std::string::npos) break;
        const std::string part = text.substr(start + 2, next - (start + 2));
        FormPart p;
        const std::size_t blank = part.find("\r\n\r\n");
        if (blank == std::string::npos) {
            p.headers = part;
        } else {
            p.headers = part.substr(0, blank + 2);
            p.content = part.substr(blank + 4);
        }
        p.name = DispositionParam(p.headers, "name");
        p.filename = DispositionParam(p.headers, "filename");
        parts.push_back(std::move(p));
        at = next;
    }
    return parts;
}
