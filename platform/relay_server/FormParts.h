#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One part of a multipart/form-data body.
struct FormPart {
    std::string name;
    std::string filename;
    std::string headers;  // the part's header lines, each ended by CR LF
    // ParseFormParts: everything between the blank line and the next
    // delimiter. ParseFormPartsInFile: the same less the CR LF the sender
    // puts before that delimiter, and only for parts without a file name.
    std::string content;
    // ParseFormPartsInFile: where that content (less the CR LF) lies in the file.
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// The value of key="..." in a part's Content-Disposition line, or empty.
[[nodiscard]] std::string DispositionParam(const std::string& headers, const std::string& key);

// Splits a body the way RFC 2046 frames it: every delimiter is CR LF, "--" and
// the boundary (the body's first one may lack the CR LF), and a part may
// consist of headers alone. Whatever follows the last delimiter that is not
// the closing one is dropped; malformed input (a header block longer than
// kMaxPartHeaders included) gives fewer parts, never more.
[[nodiscard]] std::vector<FormPart> ParseFormParts(const std::string& body,
                                                   const std::string& boundary);

// The same for a body kept in a file, read in pieces, never whole; a field
// value longer than kMaxFieldValue also ends the parts.
[[nodiscard]] std::vector<FormPart> ParseFormPartsInFile(const std::string& bodyFile,
                                                         const std::string& boundary);

inline constexpr std::size_t kMaxPartHeaders = 64 * 1024;
inline constexpr std::size_t kMaxFieldValue = 1024 * 1024;

// Copies size bytes at offset of the file from into the file to (made or
// replaced, never through a symbolic link). False when not done in full.
[[nodiscard]] bool CopyFileRange(const std::string& from, std::uint64_t offset, std::uint64_t size,
                                 const std::string& to);
