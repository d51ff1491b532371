#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Failure.h"

// The registry store: a text file in the Registry Editor export format
// ("Windows Registry Editor Version 5.00", [ROOT\Path] sections, "Name"="text",
// dword:, hex:, hex(N):, @= for the default value). The program reads it; the
// settings window and corvinaport-reg edit it. Lines that do not parse are
// skipped by readers and kept untouched by the editors.

// Result codes of registry calls (the platform's values).
namespace RegError {
inline constexpr std::int32_t Success = 0;
inline constexpr std::int32_t FileNotFound = 2;         // key or value missing
inline constexpr std::int32_t AccessDenied = 5;         // store file not readable
inline constexpr std::int32_t InvalidHandle = 6;        // root key not one of the four
inline constexpr std::int32_t BadPathname = 161;        // malformed key path
inline constexpr std::int32_t MoreData = 234;           // value larger than the buffer
inline constexpr std::int32_t RegistryIoFailed = 1016;  // store file could not be read
inline constexpr std::int32_t DatatypeMismatch = 1629;  // value of another type
}  // namespace RegError

// One value. For the text types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) data
// holds the UTF-8 text with its terminating NUL, as the byte-string registry
// calls hand it out; for every other type it holds the stored bytes.
struct RegistryValue {
    std::string name;  // empty for the default value (@)
    std::uint32_t type = 0;
    std::string data;

    [[nodiscard]] static RegistryValue String(std::string name, std::string_view text,
                                              std::uint32_t type = 1);
    [[nodiscard]] static RegistryValue Dword(std::string name, std::uint32_t number);
    // The text of a text-type value, up to its first NUL.
    [[nodiscard]] std::string Text() const;
};

// True for the types whose data is text (stored as UTF-16LE in hex(N) form).
[[nodiscard]] bool IsTextType(std::uint32_t type);

// Case-insensitive comparison of key and value names (ASCII letters).
[[nodiscard]] bool NamesEqual(std::string_view a, std::string_view b);

// Checks a full key path ("HKEY_LOCAL_MACHINE\Software\X") and gives it back
// with its root name in capitals and without a trailing backslash; nullopt
// when the root is unknown or a path component is empty.
[[nodiscard]] std::optional<std::string> NormalizeKeyPath(std::string_view path);

class RegistryDocument {
  public:
    // Parses UTF-8 text. A leading UTF-8 byte-order mark is skipped.
    [[nodiscard]] static RegistryDocument Parse(std::string_view text);
    // Decodes file bytes: UTF-16LE with its byte-order mark (as the Registry
    // Editor writes), UTF-8 with or without one.
    [[nodiscard]] static RegistryDocument ParseFileBytes(std::string_view bytes);

    // The file text: untouched lines as they were, changed values re-encoded.
    [[nodiscard]] std::string Serialize() const;

    // A key exists when a section names it or any key below it.
    [[nodiscard]] bool KeyExists(std::string_view fullPath) const;
    [[nodiscard]] const RegistryValue* FindValue(std::string_view fullPath,
                                                 std::string_view name) const;
    // Sections in file order (merged when a key appears twice), as written.
    [[nodiscard]] std::vector<std::string> KeyPaths() const;
    [[nodiscard]] std::vector<RegistryValue> Values(std::string_view fullPath) const;

    // Replaces the value of that name or appends it (creating the section).
    // The path must be a valid full path (NormalizeKeyPath).
    void SetValue(std::string_view fullPath, const RegistryValue& value);
    // False when the value was not there.
    bool DeleteValue(std::string_view fullPath, std::string_view name);
    // Removes the key and every key below it; the number of sections removed.
    int DeleteKey(std::string_view fullPath);

    // Lines the reader could not understand and skipped.
    [[nodiscard]] int skippedLines() const { return skipped_; }

  private:
    struct Entry {
        std::vector<std::string> raw;  // physical lines, without line ends
        std::optional<RegistryValue> value;
        bool changed = false;
    };
    struct Section {
        std::string header;               // raw header line
        std::optional<std::string> path;  // normalized; nullopt for ignored sections
        std::vector<Entry> entries;
    };

    Section* FindSection(std::string_view path);

    std::vector<Entry> preamble_;
    std::vector<Section> sections_;
    bool hasHeader_ = false;
    bool crlf_ = true;
    int skipped_ = 0;
};

// The result of reading the store once: one file, or the stores layered.
struct RegistrySnapshot {
    RegistryDocument document;
    // Stores read beneath document, in order: a key or value they hold counts
    // where the layers above lack it.
    std::vector<RegistryDocument> beneath;
    // Success, also for a missing file (an empty registry); AccessDenied or
    // RegistryIoFailed when the file exists but cannot be read.
    std::int32_t error = RegError::Success;

    [[nodiscard]] bool KeyExists(std::string_view fullPath) const;
    // The value of the first layer that holds it.
    [[nodiscard]] const RegistryValue* FindValue(std::string_view fullPath,
                                                 std::string_view name) const;
};

// Where settings live. The file set by SetRegistryStorePath, else the one
// named by CORVINAPORT_REGISTRY, is the whole store. Otherwise the user's
// store ($XDG_CONFIG_HOME/corvinaport/registry.reg, else under ~/.config) is
// read first and the system's store beneath it.
[[nodiscard]] std::vector<std::string> RegistryStorePaths();
// The store that is written: the one file, else the user's store.
[[nodiscard]] std::string RegistryStorePath();
[[nodiscard]] std::string UserRegistryStorePath();
// /etc/corvinaport/registry.reg, or the file CORVINAPORT_SYSTEM_REGISTRY names.
[[nodiscard]] std::string SystemRegistryStorePath();
// Points the store at another file (tests); nullopt restores the default.
void SetRegistryStorePath(std::optional<std::string> path);

// The user's home folder ($HOME, else the password database's entry).
[[nodiscard]] std::string HomeFolder();

[[nodiscard]] RegistrySnapshot ReadRegistryFile(const std::string& path);
// Reads the stores, first over the ones beneath. A system store the user may
// not read adds nothing; any other unreadable store is the snapshot's error.
[[nodiscard]] RegistrySnapshot ReadRegistryStore();

// Replaces the store file whole (a new file beside it, renamed over it), so
// it is never left half written. The user's store and its folder are the
// user's alone (0700/0600); any other file keeps its modes. Missing folders
// are made. Fails with the cause in words when it could not be written.
Result<> WriteRegistryFile(const std::string& path, const RegistryDocument& doc);

// UTF-8 <-> UTF-16LE for the hex(N) text form. Encoding fails on invalid
// UTF-8; decoding replaces broken sequences with '?'.
[[nodiscard]] std::optional<std::string> Utf8ToUtf16le(std::string_view utf8);
[[nodiscard]] std::string Utf16leToUtf8(std::string_view utf16le);
