#pragma once

#include <optional>
#include <string>

// Reads one value of a profile (".ini") file the way the printer driver's
// files are written: "[section]" lines and "key=value" lines, CR LF or LF line
// ends, names compared without regard to case, blanks around names and values
// and one pair of double quotes around a value removed, lines starting with
// ';' or '#' ignored. nullopt when the file cannot be read, is larger than
// 1 MiB, or lacks the section or key.
[[nodiscard]] std::optional<std::string> ReadProfileString(const std::string& path,
                                                           const std::string& section,
                                                           const std::string& key);
