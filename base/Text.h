#pragma once
// Small text helpers every layer uses. ASCII rules only: the results never
// depend on the process's locale, and bytes of UTF-8 characters stay as they are.

#include <string>
#include <string_view>

[[nodiscard]] constexpr bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// s without the blanks (space, tab, line ends, form feed) at its start, its
// end or both; a view into s.
[[nodiscard]] constexpr std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && IsAsciiSpace(s.front())) s.remove_prefix(1);
    return s;
}
[[nodiscard]] constexpr std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && IsAsciiSpace(s.back())) s.remove_suffix(1);
    return s;
}
[[nodiscard]] constexpr std::string_view Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

// s with A-Z made a-z.
[[nodiscard]] inline std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// a and b equal but for the case of A-Z.
[[nodiscard]] constexpr bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    const auto fold = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}
