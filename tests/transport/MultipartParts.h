#pragma once

#include <string>
#include <vector>

// Reads a multipart/form-data body the way RFC 2046 frames it: every
// delimiter is CR LF, "--" and the boundary (the body's first one may lack the
// CR LF), and a part may consist of headers alone. Enough to check what a
// relay receives; it trusts its input.
struct FormPart {
    std::string name;
    std::string filename;
    std::string headers;
    std::string content;
};

inline std::string DispositionParam(const std::string& headers, const std::string& key) {
    const std::string open = "; " + key + "=\"";
    const std::size_t at = headers.find(open);
    if (at == std::string::npos) return {};
    const std::size_t from = at + open.size();
    return headers.substr(from, headers.find('"', from) - from);
}

inline std::vector<FormPart> ParseFormParts(const std::string& body, const std::string& boundary) {
    const std::string text = "\r\n" + body;
    const std::string delimiter = "\r\n--" + boundary;
    std::vector<FormPart> parts;
    std::size_t at = text.find(delimiter);
    while (at != std::string::npos) {
        const std::size_t start = at + delimiter.size();
        if (text.compare(start, 2, "--") == 0) break;  // closing delimiter
        const std::size_t next = text.find(delimiter, start);
        if (next == std::string::npos) break;
        std::string part = text.substr(start + 2, next - start - 2);  // after the CR LF
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
