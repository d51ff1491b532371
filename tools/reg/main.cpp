// corvinaport-reg: sets, lists and deletes values in the registry store file
// the product's settings are read from.
//
// Without --file it edits the user's store, with --system the machine's.
//
//   corvinaport-reg [--file F] set KEY NAME TEXT [--scramble]
//   corvinaport-reg [--file F] set KEY NAME --expand TEXT
//   corvinaport-reg [--file F] set KEY NAME --dword NUMBER
//   corvinaport-reg [--file F] list [KEY]
//   corvinaport-reg [--file F] delete KEY [NAME]
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/ProgramInfo.h"
#include "app/core/RegistryKey.h"
#include "app/core/RegistryStore.h"

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
// The program reads strings through a 255-byte buffer, terminator included.
constexpr std::size_t kLongestString = 254;

const char* const kUsage =
    "usage: corvinaport-reg [--file FILE | --system] set KEY NAME TEXT [--scramble]\n"
    "       corvinaport-reg [--file FILE | --system] set KEY NAME --expand TEXT\n"
    "       corvinaport-reg [--file FILE | --system] set KEY NAME --dword NUMBER\n"
    "       corvinaport-reg [--file FILE | --system] list [KEY]\n"
    "       corvinaport-reg [--file FILE | --system] delete KEY [NAME]\n"
    "KEY is a full key path such as "
    "'HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General'\n"
    "(HKLM, HKCU, HKCR, HKU may stand for the root). NAME '@' is the key's default value.\n"
    "--scramble stores TEXT scrambled, as password values are kept. NUMBER is decimal or 0x hex.\n"
    "FILE defaults to $CORVINAPORT_REGISTRY, else the user's store\n"
    "$XDG_CONFIG_HOME/corvinaport/registry.reg; --system edits /etc/corvinaport/registry.reg,\n"
    "read beneath every user's store.\n"
    "--help displays this help, --version the version.\n";

int Usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "corvinaport-reg: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return kExitUsage;
}

int ExitFailed(const std::string& problem) {
    std::fprintf(stderr, "corvinaport-reg: %s\n", problem.c_str());
    return kExitFailed;
}

struct Options {
    std::string file;
    bool scramble = false;
    bool expand = false;
    bool dword = false;
    bool help = false;
    std::vector<std::string> words;
};

Result<Options> ParseOptions(int argc, char** argv) {
    Options o;
    bool fileGiven = false;
    bool system = false;
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
            o.words.push_back(a);
        } else if (a == "--") {
            optionsEnded = true;
        } else if (a == "--file") {
            if (i + 1 >= argc || std::strlen(argv[i + 1]) == 0)
                return Fail("--file needs a file name");
            o.file = argv[++i];
            fileGiven = true;
        } else if (a == "--system") {
            system = true;
        } else if (a == "--scramble") {
            o.scramble = true;
        } else if (a == "--expand") {
            o.expand = true;
        } else if (a == "--dword") {
            o.dword = true;
        } else if (a == "--help" || a == "-h") {
            o.help = true;
        } else {
            return Fail("unknown option " + a);
        }
    }
    if (fileGiven && system) return Fail("--file and --system cannot be given together");
    if (!fileGiven) o.file = system ? SystemRegistryStorePath() : RegistryStorePath();
    return o;
}

std::optional<std::uint32_t> ParseNumber(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return std::nullopt;
    errno = 0;
    char* end = nullptr;
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    unsigned long long v = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || v > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(v);
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    return out + "\"";
}

std::string HexBytes(const std::string& data) {
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%s%02x", i ? "," : "", static_cast<unsigned char>(data[i]));
        out += b;
    }
    return out;
}

std::string Describe(const RegistryValue& v) {
    std::string line = "    " + (v.name.empty() ? std::string("@") : Quoted(v.name)) + " = ";
    if (v.type == REG_SZ) return line + "REG_SZ " + Quoted(v.Text());
    if (v.type == REG_EXPAND_SZ) return line + "REG_EXPAND_SZ " + Quoted(v.Text());
    if (v.type == REG_DWORD && v.data.size() == 4) {
        std::uint32_t n = 0;
        for (int k = 3; k >= 0; --k) n = (n << 8) | static_cast<unsigned char>(v.data[k]);
        char b[48];
        std::snprintf(b, sizeof b, "REG_DWORD %u (0x%08x)", n, n);
        return line + b;
    }
    if (v.type == REG_BINARY) return line + "REG_BINARY " + HexBytes(v.data);
    std::string data = IsTextType(v.type) ? *Utf8ToUtf16le(v.data) : v.data;
    return line + "type " + std::to_string(v.type) + " " + HexBytes(data);
}

// Reads the store for editing; a missing file is an empty store.
std::optional<RegistryDocument> Load(const std::string& file) {
    RegistrySnapshot snap = ReadRegistryFile(file);
    if (snap.error == RegError::AccessDenied) {
        ExitFailed(file + ": permission denied");
        return std::nullopt;
    }
    if (snap.error != RegError::Success) {
        ExitFailed(file + ": cannot be read as a registry store file");
        return std::nullopt;
    }
    if (snap.document.skippedLines() > 0) {
        std::fprintf(stderr,
                     "corvinaport-reg: warning: %s: %d line(s) not understood, kept as they are\n",
                     file.c_str(), snap.document.skippedLines());
    }
    return std::move(snap.document);
}

int Save(const std::string& file, const RegistryDocument& doc) {
    if (auto written = WriteRegistryFile(file, doc); !written)
        return ExitFailed(written.failure().cause);
    return 0;
}

Result<std::string> KeyOf(const std::string& text) {
    auto key = NormalizeKeyPath(text);
    if (!key)
        return Fail("'" + text +
                    "' is not a key path: it must begin with HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
                    "HKEY_LOCAL_MACHINE or HKEY_USERS and have no empty part");
    return std::move(*key);
}

std::string ValueName(const std::string& word) { return word == "@" ? std::string() : word; }

int Set(const Options& o) {
    if (o.words.size() != 4) return Usage("set needs KEY, NAME and a value");
    if (o.scramble + o.expand + o.dword > 1) {
        return Usage("only one of --scramble, --expand and --dword may be given");
    }
    auto key = KeyOf(o.words[1]);
    if (!key) return Usage(key.failure().cause);
    if (key->find('\\') == std::string::npos) return Usage("values cannot be set on a root key");
    const std::string name = ValueName(o.words[2]);
    const std::string& text = o.words[3];

    RegistryValue value;
    if (o.dword) {
        auto n = ParseNumber(text);
        if (!n) return Usage("'" + text + "' is not a number from 0 to 4294967295");
        value = RegistryValue::Dword(name, *n);
    } else {
        std::string stored = text;
        if (o.scramble) {
            std::random_device rd;
            auto seed = static_cast<std::uint8_t>(rd() & 0xFF);
            auto scrambled = ScramblePassword(text, seed);
            if (!scrambled) return Usage("a scrambled text cannot hold a NUL byte");
            stored = *scrambled;
        }
        if (stored.size() > kLongestString) {
            return Usage("the value is " + std::to_string(stored.size()) +
                         " bytes long as stored; the program reads at most " +
                         std::to_string(kLongestString) +
                         " (a scrambled text takes 2 bytes per "
                         "character plus 2)");
        }
        if ((o.expand || stored.find_first_of("\r\n") != std::string::npos) &&
            !Utf8ToUtf16le(stored)) {
            return Usage("the text is not valid UTF-8");
        }
        value = RegistryValue::String(name, stored, o.expand ? REG_EXPAND_SZ : REG_SZ);
    }
    auto doc = Load(o.file);
    if (!doc) return kExitFailed;
    doc->SetValue(*key, value);
    return Save(o.file, *doc);
}

int List(const Options& o) {
    if (o.words.size() > 2) return Usage("list takes at most one KEY");
    if (o.scramble || o.expand || o.dword) return Usage("list takes no value options");
    std::optional<std::string> key;
    if (o.words.size() == 2) {
        auto given = KeyOf(o.words[1]);
        if (!given) return Usage(given.failure().cause);
        key = std::move(given).value();
    }
    auto doc = Load(o.file);
    if (!doc) return kExitFailed;
    if (key && !doc->KeyExists(*key)) return ExitFailed("no key " + *key + " in " + o.file);
    for (const std::string& path : doc->KeyPaths()) {
        if (key) {
            bool below = path.size() > key->size() && path[key->size()] == '\\';
            if (!NamesEqual(path, *key) &&
                !(below && NamesEqual(std::string_view(path).substr(0, key->size()), *key))) {
                continue;
            }
        }
        std::printf("[%s]\n", path.c_str());
        for (const RegistryValue& v : doc->Values(path)) std::printf("%s\n", Describe(v).c_str());
    }
    return 0;
}

int Delete(const Options& o) {
    if (o.words.size() != 2 && o.words.size() != 3)
        return Usage("delete needs KEY and may name a value");
    if (o.scramble || o.expand || o.dword) return Usage("delete takes no value options");
    auto key = KeyOf(o.words[1]);
    if (!key) return Usage(key.failure().cause);
    if (o.words.size() == 2 && key->find('\\') == std::string::npos) {
        return Usage("a root key cannot be deleted");
    }
    auto doc = Load(o.file);
    if (!doc) return kExitFailed;
    if (o.words.size() == 3) {
        const std::string name = ValueName(o.words[2]);
        if (!doc->DeleteValue(*key, name)) {
            return ExitFailed("no value " + o.words[2] + " in " + *key);
        }
    } else if (doc->DeleteKey(*key) == 0) {
        return ExitFailed("no key " + *key + " in " + o.file);
    }
    return Save(o.file, *doc);
}

}  // namespace

int main(int argc, char** argv) {
    if (const auto answered = AnswerHelpOrVersion(argc, argv, "corvinaport-reg", kUsage))
        return *answered;
    auto options = ParseOptions(argc, argv);
    if (!options) return Usage(options.failure().cause);
    if (options->help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options->words.empty()) return Usage("no command given");
    const std::string& command = options->words[0];
    if (command == "set") return Set(*options);
    if (command == "list") return List(*options);
    if (command == "delete") return Delete(*options);
    return Usage("unknown command '" + command + "'");
}
