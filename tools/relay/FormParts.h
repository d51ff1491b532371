#pragma once

#include <string>
#include <vector>

// One part of a multipart/form-data body.
struct FormPart {
    std::string name;
    std::string filename;
    std::string headers;  // the part's header lines, each ended by CR LF
    std::string content;  // everything between the blank line and the next delimiter
};

// The value of key="..." in a part's Content-Disposition line, or empty.
[[nodiscard]] std::string DispositionParam(const std::string& headers, const std::string& key);

// Splits a body the way RFC 2046 frames it: every delimiter is CR LF, "--" and
// the boundary (the body's first one may lack the CR LF), and a part may
// consist of headers alone. Whatever follows the last delimiter that is not
// the closing one is dropped; malformed input gives fewer parts, never more.
[[nodiscard]] std::vector<FormPart> ParseFormParts(const std::string& body,
                                                   const std::string& boundary);
