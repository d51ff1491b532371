#include "app/core/RegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <utility>

#include "app/core/RegistryKey.h"
#include "base/FileReplace.h"
#include "base/Text.h"
#include "base/UniqueFd.h"

namespace {

constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kHeader4 = "REGEDIT4";
// A store is a handful of keys; anything this large is not one.
constexpr off_t kMaxStoreBytes = 64 * 1024 * 1024;

struct RootName {
    std::string_view name;
    std::string_view shortName;
};
constexpr std::array<RootName, 5> kRoots{{
    {"HKEY_CLASSES_ROOT", "HKCR"},
    {"HKEY_CURRENT_USER", "HKCU"},
    {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},
    {"HKEY_CURRENT_CONFIG", "HKCC"},
}};

// The store's blanks are spaces and tabs alone (a line's other white space is
// part of its text), unlike the general Trim.
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view StripBlanksLeft(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    return s;
}
std::string_view StripBlanksRight(std::string_view s) {
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}
std::string_view StripBlanks(std::string_view s) { return StripBlanksRight(StripBlanksLeft(s)); }

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && NamesEqual(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// 1 to maxDigits hexadecimal digits, nothing else.
std::optional<std::uint32_t> ParseHex(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::uint32_t v = 0;
    for (char c : s) {
        int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}

// A double-quoted text at the start of s with \\ and \" escapes; on success
// `consumed` counts the characters up to and including the closing quote.
std::optional<std::string> ParseQuoted(std::string_view s, std::size_t& consumed) {
    if (s.empty() || s.front() != '"') return std::nullopt;
    std::string out;
    std::size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
            out.push_back(s[i + 1]);
            i += 2;
        } else if (c == '"') {
            consumed = i + 1;
            return out;
        } else {
            out.push_back(c);
            ++i;
        }
    }
    return std::nullopt;
}

std::string Quote(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUnit(std::string& out, std::uint32_t unit) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>((unit >> 8) & 0xFF));
}

void AppendUtf16(std::string& out, std::uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        AppendUnit(out, 0xD800 | (cp >> 10));
        AppendUnit(out, 0xDC00 | (cp & 0x3FF));
    } else {
        AppendUnit(out, cp);
    }
}

// Decodes one UTF-8 sequence at s[i]; nullopt when it is broken.
std::optional<std::uint32_t> NextCodePoint(std::string_view s, std::size_t& i) {
    auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
        ++i;
        return b;
    }
    int len = 0;
    std::uint32_t cp = 0;
    std::uint32_t min = 0;
    if ((b & 0xE0) == 0xC0) {
        len = 2;
        cp = b & 0x1F;
        min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
        len = 3;
        cp = b & 0x0F;
        min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
        len = 4;
        cp = b & 0x07;
        min = 0x10000;
    } else {
        return std::nullopt;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) return std::nullopt;
    for (int k = 1; k < len; ++k) {
        auto c = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((c & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    i += static_cast<std::size_t>(len);
    return cp;
}

// Encodes for writing; a broken sequence becomes U+FFFD so nothing is lost
// silently beyond the broken bytes themselves.
std::string Utf16Lenient(std::string_view utf8) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto cp = NextCodePoint(utf8, i);
        if (!cp) {
            ++i;
            cp = 0xFFFD;
        }
        AppendUtf16(out, *cp);
    }
    return out;
}

std::string WithTerminator(std::string text) {
    if (text.empty() || text.back() != '\0') text.push_back('\0');
    return text;
}

// The lines of a value in the file's syntax, wrapped as the Registry Editor
// wraps long hex lists.
std::vector<std::string> FormatValue(const RegistryValue& v) {
    std::string head = v.name.empty() ? std::string("@") : Quote(v.name);
    head += '=';
    if (v.type == REG_SZ) {
        std::string text = v.Text();
        bool plain =
            v.data.size() == text.size() + 1 && text.find_first_of("\r\n") == std::string::npos;
        if (plain) return {head + Quote(text)};
    }
    if (v.type == REG_DWORD && v.data.size() == 4) {
        std::uint32_t n = 0;
        for (int k = 3; k >= 0; --k) n = (n << 8) | static_cast<unsigned char>(v.data[k]);
        char buf[16];
        std::snprintf(buf, sizeof buf, "dword:%08x", n);
        return {head + buf};
    }
    std::string bytes = IsTextType(v.type) ? Utf16Lenient(v.data) : v.data;
    char buf[32];
    if (v.type == REG_BINARY) {
        std::snprintf(buf, sizeof buf, "hex:");
    } else {
        std::snprintf(buf, sizeof buf, "hex(%x):", v.type);
    }
    std::vector<std::string> lines;
    std::string line = head + buf;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char item[4];
        std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
        line += item;
        if (i + 1 < bytes.size()) {
            line += ',';
            if (line.size() > 76) {
                line += '\\';
                lines.push_back(line);
                line = "  ";
            }
        }
    }
    lines.push_back(line);
    return lines;
}

struct ParsedLine {
    bool ok = false;
    bool deletion = false;
    RegistryValue value;
};

// Parses the value starting at lines[n]; hex lists may continue over the
// following lines with a trailing backslash, which advances n.
ParsedLine ParseValue(const std::vector<std::string>& lines, std::size_t& n,
                      std::vector<std::string>& raw) {
    ParsedLine result;
    std::string_view t = StripBlanksLeft(lines[n]);
    std::size_t pos = 0;
    std::string name;
    if (!t.empty() && t.front() == '@') {
        pos = 1;
    } else {
        auto quoted = ParseQuoted(t, pos);
        if (!quoted) return result;
        name = std::move(*quoted);
    }
    std::string_view rest = StripBlanksLeft(t.substr(pos));
    if (rest.empty() || rest.front() != '=') return result;
    rest = StripBlanksLeft(rest.substr(1));

    if (!rest.empty() && rest.front() == '"') {
        std::size_t used = 0;
        auto text = ParseQuoted(rest, used);
        if (!text || !StripBlanks(rest.substr(used)).empty()) return result;
        result.value = RegistryValue::String(std::move(name), *text);
        result.ok = true;
        return result;
    }
    if (StripBlanks(rest) == "-") {
        result.deletion = true;
        return result;
    }
    if (StartsWithNoCase(rest, "dword:")) {
        auto n32 = ParseHex(StripBlanksRight(rest.substr(6)), 8);
        if (!n32) return result;
        result.value = RegistryValue::Dword(std::move(name), *n32);
        result.ok = true;
        return result;
    }
    if (!StartsWithNoCase(rest, "hex")) return result;
    rest.remove_prefix(3);
    std::uint32_t type = REG_BINARY;
    if (!rest.empty() && rest.front() == '(') {
        std::size_t close = rest.find(')');
        if (close == std::string_view::npos) return result;
        auto n32 = ParseHex(rest.substr(1, close - 1), 8);
        if (!n32) return result;
        type = *n32;
        rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') return result;
    std::string list(StripBlanksRight(rest.substr(1)));
    while (!list.empty() && list.back() == '\\' && n + 1 < lines.size()) {
        list.pop_back();
        ++n;
        raw.push_back(lines[n]);
        list += StripBlanks(lines[n]);
    }
    std::string bytes;
    std::string_view items = StripBlanks(list);
    while (!items.empty()) {
        std::size_t comma = items.find(',');
        std::string_view item = StripBlanks(items.substr(0, comma));
        auto byte = ParseHex(item, 2);
        if (!byte) return result;
        bytes.push_back(static_cast<char>(*byte));
        if (comma == std::string_view::npos) break;
        items = items.substr(comma + 1);
        if (StripBlanks(items).empty()) break;  // a trailing comma
    }
    result.value.name = std::move(name);
    result.value.type = type;
    result.value.data = IsTextType(type) ? WithTerminator(Utf16leToUtf8(bytes)) : bytes;
    result.ok = true;
    return result;
}

bool PathIsAtOrBelow(std::string_view path, std::string_view key) {
    if (path.size() == key.size()) return NamesEqual(path, key);
    return path.size() > key.size() && path[key.size()] == '\\' &&
           NamesEqual(path.substr(0, key.size()), key);
}

std::optional<std::string>& PathOverride() {
    static std::optional<std::string> path;
    return path;
}

}  // namespace

RegistryValue RegistryValue::String(std::string name, std::string_view text, std::uint32_t type) {
    RegistryValue v;
    v.name = std::move(name);
    v.type = type;
    v.data = std::string(text);
    v.data.push_back('\0');
    return v;
}

RegistryValue RegistryValue::Dword(std::string name, std::uint32_t number) {
    RegistryValue v;
    v.name = std::move(name);
    v.type = REG_DWORD;
    for (int k = 0; k < 4; ++k) v.data.push_back(static_cast<char>((number >> (8 * k)) & 0xFF));
    return v;
}

std::string RegistryValue::Text() const { return data.substr(0, data.find('\0')); }

bool IsTextType(std::uint32_t type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == 7; }

bool NamesEqual(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

std::optional<std::string> NormalizeKeyPath(std::string_view path) {
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    std::size_t sep = path.find('\\');
    std::string_view rootPart = path.substr(0, sep);
    std::string out;
    for (const auto& r : kRoots) {
        if (NamesEqual(rootPart, r.name) || NamesEqual(rootPart, r.shortName)) out = r.name;
    }
    if (out.empty()) return std::nullopt;
    while (sep != std::string_view::npos) {
        path.remove_prefix(sep + 1);
        sep = path.find('\\');
        std::string_view part = path.substr(0, sep);
        if (part.empty()) return std::nullopt;
        out += '\\';
        out += part;
    }
    return out;
}

std::optional<std::string> Utf8ToUtf16le(std::string_view utf8) {
    std::string out;
    std::size_t i = 0;
    while (i < utf8.size()) {
        auto cp = NextCodePoint(utf8, i);
        if (!cp) return std::nullopt;
        AppendUtf16(out, *cp);
    }
    return out;
}

std::string Utf16leToUtf8(std::string_view bytes) {
    std::string out;
    std::size_t units = bytes.size() / 2;
    auto unit = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k])) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * k + 1])) << 8);
    };
    for (std::size_t k = 0; k < units; ++k) {
        std::uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
            unit(k + 1) <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00));
            ++k;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back('?');
        } else {
            AppendUtf8(out, u);
        }
    }
    if (bytes.size() % 2 != 0) out.push_back('?');
    return out;
}

RegistryDocument RegistryDocument::ParseFileBytes(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return Parse(Utf16leToUtf8(bytes.substr(2)));
    }
    return Parse(bytes);
}

RegistryDocument RegistryDocument::Parse(std::string_view text) {
    RegistryDocument doc;
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);

    std::vector<std::string> lines;
    bool sawLf = false;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t j = text.find('\n', i);
        std::string_view line = text.substr(i, j == std::string_view::npos ? j : j - i);
        if (j != std::string_view::npos && !sawLf) {
            sawLf = true;
            doc.crlf_ = !line.empty() && line.back() == '\r';
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.emplace_back(line);
        if (j == std::string_view::npos) break;
        i = j + 1;
    }

    auto add = [&doc](Entry entry) {
        if (doc.sections_.empty()) {
            doc.preamble_.push_back(std::move(entry));
        } else {
            doc.sections_.back().entries.push_back(std::move(entry));
        }
    };

    for (std::size_t n = 0; n < lines.size(); ++n) {
        std::string_view t = StripBlanks(lines[n]);
        Entry entry;
        entry.raw.push_back(lines[n]);
        if (t.empty() || t.front() == ';') {
            add(std::move(entry));
            continue;
        }
        if (doc.sections_.empty() && !doc.hasHeader_ && (t == kHeader5 || t == kHeader4)) {
            doc.hasHeader_ = true;
            add(std::move(entry));
            continue;
        }
        if (t.front() == '[') {
            Section section;
            section.header = lines[n];
            if (t.size() >= 2 && t.back() == ']') {
                std::string_view inner = t.substr(1, t.size() - 2);
                // "[-key]" asks an import to delete the key; a store has
                // nothing to delete, so the section is ignored.
                if (inner.empty() || inner.front() != '-') {
                    section.path = NormalizeKeyPath(inner);
                    if (!section.path) ++doc.skipped_;
                }
            } else {
                ++doc.skipped_;
            }
            doc.sections_.push_back(std::move(section));
            continue;
        }
        ParsedLine parsed = ParseValue(lines, n, entry.raw);
        if (parsed.ok) {
            entry.value = std::move(parsed.value);
        } else if (!parsed.deletion) {
            ++doc.skipped_;
        }
        add(std::move(entry));
    }
    return doc;
}

std::string RegistryDocument::Serialize() const {
    const char* eol = crlf_ ? "\r\n" : "\n";
    std::string out;
    if (!hasHeader_) {
        out += kHeader5;
        out += eol;
        out += eol;
    }
    auto emit = [&](const std::vector<Entry>& entries) {
        for (const Entry& e : entries) {
            const std::vector<std::string> lines =
                (e.changed && e.value) ? FormatValue(*e.value) : e.raw;
            for (const std::string& l : lines) {
                out += l;
                out += eol;
            }
        }
    };
    emit(preamble_);
    for (const Section& s : sections_) {
        out += s.header;
        out += eol;
        emit(s.entries);
    }
    return out;
}

bool RegistryDocument::KeyExists(std::string_view fullPath) const {
    auto key = NormalizeKeyPath(fullPath);
    if (!key) return false;
    if (key->find('\\') == std::string::npos) return true;  // a root always exists
    for (const Section& s : sections_) {
        if (s.path && PathIsAtOrBelow(*s.path, *key)) return true;
    }
    return false;
}

const RegistryValue* RegistryDocument::FindValue(std::string_view fullPath,
                                                 std::string_view name) const {
    auto key = NormalizeKeyPath(fullPath);
    if (!key) return nullptr;
    const RegistryValue* found = nullptr;
    for (const Section& s : sections_) {
        if (!s.path || !NamesEqual(*s.path, *key)) continue;
        for (const Entry& e : s.entries) {
            if (e.value && NamesEqual(e.value->name, name)) found = &*e.value;
        }
    }
    return found;
}

std::vector<std::string> RegistryDocument::KeyPaths() const {
    std::vector<std::string> out;
    for (const Section& s : sections_) {
        if (!s.path) continue;
        bool seen = false;
        for (const auto& p : out) seen = seen || NamesEqual(p, *s.path);
        if (!seen) out.push_back(*s.path);
    }
    return out;
}

std::vector<RegistryValue> RegistryDocument::Values(std::string_view fullPath) const {
    std::vector<RegistryValue> out;
    auto key = NormalizeKeyPath(fullPath);
    if (!key) return out;
    for (const Section& s : sections_) {
        if (!s.path || !NamesEqual(*s.path, *key)) continue;
        for (const Entry& e : s.entries) {
            if (!e.value) continue;
            bool replaced = false;
            for (auto& v : out) {
                if (NamesEqual(v.name, e.value->name)) {
                    v = *e.value;
                    replaced = true;
                }
            }
            if (!replaced) out.push_back(*e.value);
        }
    }
    return out;
}

RegistryDocument::Section* RegistryDocument::FindSection(std::string_view path) {
    Section* last = nullptr;
    for (Section& s : sections_) {
        if (s.path && NamesEqual(*s.path, path)) last = &s;
    }
    return last;
}

void RegistryDocument::SetValue(std::string_view fullPath, const RegistryValue& value) {
    auto key = NormalizeKeyPath(fullPath);
    if (!key) return;
    // The last occurrence is the one readers see; earlier ones go.
    Entry* target = nullptr;
    for (Section& s : sections_) {
        if (!s.path || !NamesEqual(*s.path, *key)) continue;
        for (Entry& e : s.entries) {
            if (e.value && NamesEqual(e.value->name, value.name)) target = &e;
        }
    }
    if (target) {
        for (Section& s : sections_) {
            if (!s.path || !NamesEqual(*s.path, *key)) continue;
            std::erase_if(s.entries, [&](const Entry& e) {
                return &e != target && e.value && NamesEqual(e.value->name, value.name);
            });
        }
        // erase_if may have moved the target; find it again by name.
        target = nullptr;
        for (Section& s : sections_) {
            if (!s.path || !NamesEqual(*s.path, *key)) continue;
            for (Entry& e : s.entries) {
                if (e.value && NamesEqual(e.value->name, value.name)) target = &e;
            }
        }
        target->value = value;
        target->changed = true;
        return;
    }
    Entry entry;
    entry.value = value;
    entry.changed = true;
    Section* section = FindSection(*key);
    if (!section) {
        std::vector<Entry>& before = sections_.empty() ? preamble_ : sections_.back().entries;
        bool endsBlank = !before.empty() && before.back().raw.size() == 1 &&
                         !before.back().changed && StripBlanks(before.back().raw[0]).empty();
        if (!endsBlank && !(before.empty() && sections_.empty())) {
            Entry blank;
            blank.raw.emplace_back();
            before.push_back(std::move(blank));
        }
        Section fresh;
        fresh.header = "[" + *key + "]";
        fresh.path = *key;
        sections_.push_back(std::move(fresh));
        section = &sections_.back();
    }
    // Before the blank lines that close the section.
    auto pos = section->entries.end();
    while (pos != section->entries.begin()) {
        auto prev = std::prev(pos);
        if (prev->value || prev->raw.size() != 1 || !StripBlanks(prev->raw[0]).empty()) break;
        pos = prev;
    }
    section->entries.insert(pos, std::move(entry));
}

bool RegistryDocument::DeleteValue(std::string_view fullPath, std::string_view name) {
    auto key = NormalizeKeyPath(fullPath);
    if (!key) return false;
    bool removed = false;
    for (Section& s : sections_) {
        if (!s.path || !NamesEqual(*s.path, *key)) continue;
        removed |= std::erase_if(s.entries, [&](const Entry& e) {
                       return e.value && NamesEqual(e.value->name, name);
                   }) > 0;
    }
    return removed;
}

int RegistryDocument::DeleteKey(std::string_view fullPath) {
    auto key = NormalizeKeyPath(fullPath);
    if (!key || key->find('\\') == std::string::npos) return 0;
    return static_cast<int>(std::erase_if(
        sections_, [&](const Section& s) { return s.path && PathIsAtOrBelow(*s.path, *key); }));
}

bool RegistrySnapshot::KeyExists(std::string_view fullPath) const {
    if (document.KeyExists(fullPath)) return true;
    return std::any_of(beneath.begin(), beneath.end(),
                       [&](const RegistryDocument& d) { return d.KeyExists(fullPath); });
}

const RegistryValue* RegistrySnapshot::FindValue(std::string_view fullPath,
                                                 std::string_view name) const {
    if (const RegistryValue* v = document.FindValue(fullPath, name)) return v;
    for (const RegistryDocument& d : beneath) {
        if (const RegistryValue* v = d.FindValue(fullPath, name)) return v;
    }
    return nullptr;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? entry->pw_dir : "/";
}

std::string UserRegistryStorePath() {
    // A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string base =
        config && *config == '/' ? std::string(config) : HomeFolder() + "/.config";
    return base + "/corvinaport/registry.reg";
}

std::string SystemRegistryStorePath() {
    const char* env = std::getenv("CORVINAPORT_SYSTEM_REGISTRY");
    if (env && *env) return env;
    return "/etc/corvinaport/registry.reg";
}

std::vector<std::string> RegistryStorePaths() {
    if (PathOverride()) return {*PathOverride()};
    const char* env = std::getenv("CORVINAPORT_REGISTRY");
    if (env && *env) return {env};
    return {UserRegistryStorePath(), SystemRegistryStorePath()};
}

std::string RegistryStorePath() { return RegistryStorePaths().front(); }

void SetRegistryStorePath(std::optional<std::string> path) { PathOverride() = std::move(path); }

RegistrySnapshot ReadRegistryStore() {
    const std::vector<std::string> paths = RegistryStorePaths();
    RegistrySnapshot top = ReadRegistryFile(paths.front());
    for (std::size_t i = 1; i < paths.size() && top.error == RegError::Success; ++i) {
        RegistrySnapshot below = ReadRegistryFile(paths[i]);
        if (below.error == RegError::AccessDenied && paths[i] == SystemRegistryStorePath())
            continue;
        if (below.error != RegError::Success) {
            top.error = below.error;
            break;
        }
        top.beneath.push_back(std::move(below.document));
    }
    return top;
}

Result<> WriteRegistryFile(const std::string& file, const RegistryDocument& doc) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path target = fs::path(file);
    if (fs::is_symlink(fs::symlink_status(target, ec))) {
        target = fs::canonical(target, ec);  // replace the file the link names
        if (ec) return Fail(file + ": " + ec.message());
    }
    const bool users = file == UserRegistryStorePath();
    const fs::path dir = target.parent_path();
    if (users) {
        if (auto made = EnsurePrivateFolderPath(dir.string()); !made) return made;
    } else if (!dir.empty() && !fs::exists(dir, ec)) {
        fs::create_directories(dir, ec);
        if (ec) return Fail(dir.string() + ": cannot create the folder: " + ec.message());
    }
    if (!WriteFileReplacing(target.string(), doc.Serialize(),
                            users ? FileAccess::Private : FileAccess::Kept))
        return FromErrno(file + ": cannot replace the file");
    return {};
}

RegistrySnapshot ReadRegistryFile(const std::string& path) {
    RegistrySnapshot snap;
    // Opened without blocking and checked before anything is read: a FIFO or
    // a device at the store's name must not hold up the program.
    const UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!file) {
        if (errno == ENOENT || errno == ENOTDIR) return snap;  // an empty registry
        snap.error = (errno == EACCES || errno == EPERM) ? RegError::AccessDenied
                                                         : RegError::RegistryIoFailed;
        return snap;
    }
    struct stat st {};
    if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kMaxStoreBytes) {
        snap.error = RegError::RegistryIoFailed;
        return snap;
    }
    std::string bytes;
    char buf[65536];
    for (;;) {
        ssize_t got = ::read(file.get(), buf, sizeof buf);
        if (got < 0) {
            if (errno == EINTR) continue;
            snap.error = RegError::RegistryIoFailed;
            return snap;
        }
        if (got == 0) break;
        bytes.append(buf, static_cast<std::size_t>(got));
        if (bytes.size() > static_cast<std::size_t>(kMaxStoreBytes)) {
            snap.error = RegError::RegistryIoFailed;
            return snap;
        }
    }
    snap.document = RegistryDocument::ParseFileBytes(bytes);
    return snap;
}
