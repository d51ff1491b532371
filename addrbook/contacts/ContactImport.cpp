#include "addrbook/contacts/ContactImport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "addrbook/AddressBook.h"
#include "base/Text.h"

namespace {

using Field = AddressBook::Field;

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

// bytes as UTF-8: in charset when it names one Qt knows, else UTF-8 when
// they are, else Windows-1252.
std::string ToUtf8(std::string_view bytes, const std::string& charset = {}) {
    const QByteArrayView view(bytes.data(), static_cast<qsizetype>(bytes.size()));
    if (!charset.empty() && Lower(charset) != "utf-8" && Lower(charset) != "utf8") {
        QStringDecoder named(charset.c_str());
        if (named.isValid()) return QString(named(view)).toStdString();
    }
    if (view.isValidUtf8()) return std::string(bytes);
    QStringDecoder windows("windows-1252");
    return QString(windows(view)).toStdString();
}

// A one-line value as the book can hold it: control characters (a TAB would
// end the value on reading) become blanks, blanks at both ends go.
std::string OneLine(std::string_view value) {
    std::string out(value);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return std::string(Trim(out));
}

// A note as the book keeps it: every line ends with CR LF, no line is empty,
// and a line that the reader would take for an attribute or a new record is
// marked so it stays part of the note.
std::string NoteText(std::string_view text) {
    std::string out;
    std::size_t pos = 0;
    bool first = true;
    while (pos <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        std::string line(text.substr(pos, end - pos));
        for (char& c : line) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
        }
        std::string_view kept = first ? Trim(line) : std::string_view(line);
        while (!kept.empty() && kept.back() == ' ') kept.remove_suffix(1);
        if (!Trim(kept).empty()) {
            // The reader's first token: leading ':' and ' ' skipped, up to
            // the next of them.
            const std::size_t start = std::min(kept.find_first_not_of(": "), kept.size());
            const std::string token(kept.substr(start, kept.find_first_of(": ", start) - start));
            if (Lower(token) == "dn" || AddressBook::AttributeField(token)) out += "> ";
            out += kept;
            out += "\r\n";
            first = false;
        }
        if (end == text.size()) break;
        pos = end + 1;
    }
    return out;
}

// Fills cn when a card or row gave none; false when nothing names it.
bool NameIt(Contact& c, const std::string& organisation = {}) {
    if (!c.cn.empty()) return true;
    std::string name;
    for (const std::string* part :
         {&c.xqrvnameprefix, &c.givenname, &c.xqrvmiddlename, &c.sn, &c.xqrvnamesuffix}) {
        if (part->empty()) continue;
        if (!name.empty()) name += ' ';
        name += *part;
    }
    if (name.empty()) name = organisation;
    if (name.empty()) name = c.mail;
    c.cn = name;
    return !c.cn.empty();
}

// An empty value leaves the field as it was (xqrvchanged holds "no").
void Set(Contact& c, Field field, std::string_view value) {
    if (Trim(value).empty()) return;
    if (field == &Contact::xqrvnote)
        c.xqrvnote = NoteText(value);
    else
        c.*field = OneLine(value);
}

// Where a telephone number of these kinds goes; nullptr when its places are
// taken.
Field PhoneField(const Contact& c, const std::set<std::string>& types) {
    auto has = [&types](const char* t) { return types.count(t) != 0; };
    auto first = [&c](std::initializer_list<Field> fields) -> Field {
        for (Field f : fields) {
            if ((c.*f).empty()) return f;
        }
        return nullptr;
    };
    if (has("fax") || has("work fax") || has("home fax"))
        return has("home") || has("home fax")
                   ? first({&Contact::xqrvhomefax, &Contact::facsimiletelephonenumber})
                   : first({&Contact::facsimiletelephonenumber, &Contact::xqrvhomefax});
    if (has("cell") || has("mobile") || has("iphone")) return first({&Contact::cellphone});
    if (has("pager")) return first({&Contact::pagerphone});
    if (has("msg") || has("x-msg")) return first({&Contact::xqrvmsg});
    if (has("home")) return first({&Contact::homephone, &Contact::telephonenumber});
    return first({&Contact::telephonenumber, &Contact::homephone});
}

// ---- vCard ----

struct Line {
    int number;
    std::string text;
};

// Physical lines (LF or CR LF) joined where they are folded: a line that
// begins with a blank or TAB goes on the one before; a quoted-printable value
// that ends with "=" goes on in the next line.
std::vector<Line> UnfoldedLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t pos = 0;
    int number = 0;
    bool softBreak = false;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        ++number;
        pos = end + 1;
        if (!lines.empty() && softBreak) {
            lines.back().text.pop_back();  // the "="
            lines.back().text += line;
        } else if (!lines.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t')) {
            lines.back().text += line.substr(1);
        } else {
            lines.push_back({number, std::string(line)});
        }
        const std::string& joined = lines.back().text;
        const std::size_t colon = joined.find(':');
        softBreak = !joined.empty() && joined.back() == '=' && colon != std::string::npos &&
                    Upper(std::string_view(joined).substr(0, colon)).find("QUOTED-PRINTABLE") !=
                        std::string::npos;
    }
    return lines;
}

std::string DecodeQuotedPrintable(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    auto hex = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '=' && i + 2 < value.size() && hex(value[i + 1]) >= 0 &&
            hex(value[i + 2]) >= 0) {
            out += static_cast<char>(hex(value[i + 1]) * 16 + hex(value[i + 2]));
            i += 2;
        } else {
            out += value[i];
        }
    }
    return out;
}

// Splits at separators not escaped with a backslash; escapes stay.
std::vector<std::string> SplitEscaped(std::string_view value, char separator) {
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            parts.back() += value.substr(i, 2);
            ++i;
        } else if (value[i] == separator) {
            parts.emplace_back();
        } else {
            parts.back() += value[i];
        }
    }
    return parts;
}

std::string Unescape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const char next = value[++i];
        out += next == 'n' || next == 'N' ? '\n' : next;
    }
    return out;
}

struct Property {
    std::string name;  // upper case, group dropped
    std::set<std::string> types;
    std::string encoding, charset;
    std::string value;  // raw
};

// "group.NAME;PARAM=a,b;BARE:value"; false without a colon.
bool ParseProperty(const std::string& line, Property& p) {
    bool quoted = false;
    std::size_t colon = std::string::npos;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos) return false;
    p.value = line.substr(colon + 1);
    std::vector<std::string> parts = SplitEscaped(std::string_view(line).substr(0, colon), ';');
    std::string name = parts[0];
    if (const std::size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(0, dot + 1);
    p.name = Upper(Trim(name));
    if (p.name.empty()) return false;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        std::string param = parts[i];
        param.erase(std::remove(param.begin(), param.end(), '"'), param.end());
        const std::size_t eq = param.find('=');
        const std::string key = Upper(Trim(param.substr(0, eq)));
        const std::string values = eq == std::string::npos ? param : param.substr(eq + 1);
        if (eq == std::string::npos && (key == "QUOTED-PRINTABLE" || key == "BASE64")) {
            p.encoding = key;
        } else if (key == "ENCODING") {
            p.encoding = Upper(Trim(values));
        } else if (key == "CHARSET") {
            p.charset = std::string(Trim(values));
        } else if (key == "TYPE" || eq == std::string::npos) {
            for (const std::string& t : SplitEscaped(values, ',')) p.types.insert(Lower(Trim(t)));
        }
    }
    return true;
}

struct Product {
    const char* name;
    Field field;
};
constexpr Product kProductLines[] = {
    {"X-QRV-EMAILLIST", &Contact::xqrvemaillist}, {"X-QRV-NOTES", &Contact::xqrvnote},
    {"X-QRV-SHORTCUT", &Contact::xqrvshortcut},   {"X-QRV-UID", &Contact::xqrvuid},
    {"X-QRV-RECORDLOC", &Contact::xqrvrecordloc}, {"X-QRV-CHANGED", &Contact::xqrvchanged},
    {"X-QRV-TMPID", &Contact::xqrvtmpid},
};

class CardBuilder {
  public:
    void Apply(const Property& p) {
        if (p.encoding == "B" || p.encoding == "BASE64") return;  // pictures, keys
        std::string raw =
            p.encoding == "QUOTED-PRINTABLE" ? DecodeQuotedPrintable(p.value) : p.value;
        const std::string value = ToUtf8(raw, p.charset);
        if (p.name == "FN") {
            c.cn = OneLine(Unescape(value));
        } else if (p.name == "N") {
            const std::vector<std::string> parts = SplitEscaped(value, ';');
            const Field order[] = {&Contact::sn, &Contact::givenname, &Contact::xqrvmiddlename,
                                   &Contact::xqrvnameprefix, &Contact::xqrvnamesuffix};
            for (std::size_t i = 0; i < parts.size() && i < std::size(order); ++i)
                c.*order[i] = OneLine(Unescape(parts[i]));
        } else if (p.name == "ORG") {
            organisation = OneLine(Unescape(SplitEscaped(value, ';')[0]));
        } else if (p.name == "EMAIL") {
            if (c.mail.empty()) c.mail = OneLine(Unescape(value));
        } else if (p.name == "TEL") {
            std::string number = OneLine(Unescape(value));
            if (Lower(number.substr(0, 4)) == "tel:") number = OneLine(number.substr(4));
            if (const Field f = PhoneField(c, p.types); f && !number.empty()) c.*f = number;
        } else if (p.name == "NOTE") {
            c.xqrvnote = NoteText(Unescape(value));
        } else if (p.name == "UID") {
            if (c.xqrvuid.empty()) c.xqrvuid = OneLine(value);
        } else {
            for (const Product& line : kProductLines) {
                if (p.name == line.name) Set(c, line.field, Unescape(value));
            }
        }
    }
    Contact c;
    std::string organisation;
};

// ---- CSV ----

struct CsvRecord {
    int line;
    std::vector<std::string> cells;
};

char GuessDelimiter(std::string_view text) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    std::map<char, int> counts;
    bool quoted = false;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '"') quoted = !quoted;
        if (!quoted && (text[i] == ',' || text[i] == ';' || text[i] == '\t')) ++counts[text[i]];
    }
    char best = ',';
    for (const auto& [c, n] : counts) {
        if (n > counts[best]) best = c;
    }
    return best;
}

// RFC 4180 records: quoted cells may hold delimiters, line ends and doubled
// quotes. An unterminated quote ends the reading; unclosed names its line.
std::vector<CsvRecord> CsvRecords(std::string_view text, int& unclosed) {
    const char delimiter = GuessDelimiter(text);
    std::vector<CsvRecord> records;
    unclosed = 0;
    int line = 1;
    std::size_t i = 0;
    while (i < text.size()) {
        CsvRecord record{line, {std::string()}};
        bool quoted = false, done = false;
        int quoteLine = 0;
        for (; i < text.size() && !done; ++i) {
            const char c = text[i];
            if (quoted) {
                if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                    record.cells.back() += '"';
                    ++i;
                } else if (c == '"') {
                    quoted = false;
                } else {
                    if (c == '\n') ++line;
                    record.cells.back() += c;
                }
            } else if (c == '"') {
                quoted = true;
                quoteLine = line;
            } else if (c == delimiter) {
                record.cells.emplace_back();
            } else if (c == '\n') {
                ++line;
                done = true;
            } else if (c != '\r') {
                record.cells.back() += c;
            }
        }
        if (quoted) {
            unclosed = quoteLine;
            break;
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::string DecodeText(std::string_view text) {
    if (text.size() >= 2 && static_cast<unsigned char>(text[0]) == 0xff &&
        static_cast<unsigned char>(text[1]) == 0xfe) {
        QStringDecoder utf16(QStringConverter::Utf16LE);
        return QString(
                   utf16(QByteArrayView(text.data() + 2, static_cast<qsizetype>(text.size() - 2))))
            .toStdString();
    }
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
    return ToUtf8(text);
}

const std::map<std::string, std::string>& KnownHeadings() {
    static const std::map<std::string, std::string> known = {
        {"name", "cn"},
        {"display name", "cn"},
        {"full name", "cn"},
        {"first name", "givenname"},
        {"given name", "givenname"},
        {"middle name", "xqrvmiddlename"},
        {"additional name", "xqrvmiddlename"},
        {"last name", "sn"},
        {"family name", "sn"},
        {"surname", "sn"},
        {"title", "xqrvnameprefix"},
        {"name prefix", "xqrvnameprefix"},
        {"suffix", "xqrvnamesuffix"},
        {"name suffix", "xqrvnamesuffix"},
        {"e-mail address", "mail"},
        {"e-mail", "mail"},
        {"email", "mail"},
        {"email address", "mail"},
        {"primary email", "mail"},
        {"e-mail 1 - value", "mail"},
        {"business fax", "facsimiletelephonenumber"},
        {"work fax", "facsimiletelephonenumber"},
        {"fax", "facsimiletelephonenumber"},
        {"fax number", "facsimiletelephonenumber"},
        {"home fax", "xqrvhomefax"},
        {"business phone", "telephonenumber"},
        {"work phone", "telephonenumber"},
        {"phone", "telephonenumber"},
        {"home phone", "homephone"},
        {"mobile phone", "cellphone"},
        {"mobile number", "cellphone"},
        {"mobile", "cellphone"},
        {"cell phone", "cellphone"},
        {"pager", "pagerphone"},
        {"pager number", "pagerphone"},
        {"notes", "xqrvnote"},
        {"note", "xqrvnote"},
    };
    return known;
}

// "Phone 2 - Value" -> "Phone 2 - Type"; empty when heading is no such one.
std::string TypeHeadingOf(const std::string& heading) {
    const std::string lower = Lower(heading);
    const std::string suffix = " - value";
    if (lower.rfind("phone ", 0) != 0 || lower.size() <= suffix.size() ||
        lower.compare(lower.size() - suffix.size(), suffix.size(), suffix) != 0)
        return {};
    return heading.substr(0, heading.size() - 5) + "Type";
}

// ---- LDIF ----

struct LdifPair {
    int line;
    std::string name;  // lower case, options dropped
    std::string value;
};

}  // namespace

std::string CsvMapping::Signature() const {
    std::string s;
    for (const std::string& h : headings) {
        if (!s.empty()) s += '\x1f';
        s += OneLine(h);
    }
    return s;
}

ContactImport::Format ContactImport::Detect(std::string_view text, const std::string& fileName) {
    std::string head = Lower(text.substr(0, 4096));
    if (head.find("begin:vcard") != std::string::npos) return Format::VCard;
    const std::string name = Lower(fileName);
    auto endsWith = [&name](const char* ext) {
        const std::string e(ext);
        return name.size() >= e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
    };
    if (endsWith(".vcf") || endsWith(".vcard")) return Format::VCard;
    if (endsWith(".ldif") || endsWith(".ldi")) return Format::Ldif;
    if (endsWith(".csv") || endsWith(".txt")) return Format::Csv;
    if (head.rfind("dn:", 0) == 0 || head.find("\ndn:") != std::string::npos) return Format::Ldif;
    return Format::Unknown;
}

ImportResult ContactImport::ReadVCards(std::string_view text) {
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
    ImportResult result;
    std::optional<CardBuilder> card;
    int cardLine = 0;
    std::string broken;  // why the open card is skipped
    auto skip = [&result](int line, std::string reason) {
        result.skipped.push_back({line, std::move(reason)});
    };
    for (const Line& line : UnfoldedLines(text)) {
        if (Trim(line.text).empty()) continue;
        Property p;
        if (!ParseProperty(line.text, p)) {
            if (!card) {
                skip(line.number, "not in a card");
            } else if (broken.empty()) {
                broken = "line " + std::to_string(line.number) + " has no colon";
            }
            continue;
        }
        const std::string value = Upper(Trim(p.value));
        if (p.name == "BEGIN" && value == "VCARD") {
            if (card) skip(cardLine, "no END:VCARD");
            card.emplace();
            cardLine = line.number;
            broken.clear();
        } else if (p.name == "END" && value == "VCARD") {
            if (!card) {
                skip(line.number, "END:VCARD without BEGIN:VCARD");
                continue;
            }
            if (!broken.empty())
                skip(cardLine, broken);
            else if (!NameIt(card->c, card->organisation))
                skip(cardLine, "no name");
            else {
                result.contacts.push_back(std::move(card->c));
                result.lines.push_back(cardLine);
            }
            card.reset();
        } else if (!card) {
            skip(line.number, "not in a card");
        } else {
            card->Apply(p);
        }
    }
    if (card) skip(cardLine, "no END:VCARD");
    return result;
}

CsvMapping ContactImport::GuessCsvMapping(std::string_view text) {
    const std::string decoded = DecodeText(text);
    int unclosed = 0;
    CsvMapping mapping;
    const std::vector<CsvRecord> records = CsvRecords(decoded, unclosed);
    if (records.empty()) return mapping;
    mapping.headings = records[0].cells;
    if (records.size() > 1) mapping.example = records[1].cells;
    std::set<std::string> headings;
    for (const std::string& h : mapping.headings) headings.insert(h);
    for (const std::string& h : mapping.headings) {
        const auto known = KnownHeadings().find(Lower(Trim(h)));
        const std::string typeHeading = TypeHeadingOf(h);
        if (!typeHeading.empty() && headings.count(typeHeading))
            mapping.fields.emplace_back(CsvMapping::kTypedPhone);
        else
            mapping.fields.push_back(known == KnownHeadings().end() ? CsvMapping::kIgnore
                                                                    : known->second);
    }
    return mapping;
}

ImportResult ContactImport::ReadCsv(std::string_view text, const CsvMapping& mapping) {
    ImportResult result;
    int unclosed = 0;
    const std::string decoded = DecodeText(text);
    const std::vector<CsvRecord> records = CsvRecords(decoded, unclosed);
    std::map<std::string, std::size_t> column;
    if (!records.empty()) {
        for (std::size_t i = 0; i < records[0].cells.size(); ++i)
            column.emplace(records[0].cells[i], i);
    }
    for (std::size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& row = records[r];
        if (std::all_of(row.cells.begin(), row.cells.end(),
                        [](const std::string& s) { return Trim(s).empty(); }))
            continue;
        Contact c;
        for (std::size_t i = 0; i < mapping.fields.size() && i < row.cells.size(); ++i) {
            const std::string& target = mapping.fields[i];
            const std::string& cell = row.cells[i];
            if (target.empty() || Trim(cell).empty()) continue;
            if (target == CsvMapping::kTypedPhone) {
                std::set<std::string> types;
                const auto typeColumn = column.find(TypeHeadingOf(mapping.headings[i]));
                if (typeColumn != column.end() && typeColumn->second < row.cells.size()) {
                    const std::string kind = Lower(Trim(row.cells[typeColumn->second]));
                    types.insert(kind);
                    for (const std::string& word : SplitEscaped(kind, ' ')) types.insert(word);
                }
                if (const Field f = PhoneField(c, types)) c.*f = OneLine(cell);
            } else if (const Field f = AddressBook::AttributeField(target)) {
                Set(c, f, cell);
            }
        }
        if (NameIt(c)) {
            result.contacts.push_back(std::move(c));
            result.lines.push_back(row.line);
        } else
            result.skipped.push_back({row.line, "no name"});
    }
    if (unclosed) result.skipped.push_back({unclosed, "quote not closed"});
    return result;
}

ImportResult ContactImport::ReadLdif(std::string_view text) {
    if (text.substr(0, 3) == "\xef\xbb\xbf") text.remove_prefix(3);
    ImportResult result;
    std::vector<LdifPair> record;
    int recordLine = 0;
    std::string broken;
    auto finish = [&] {
        if (record.empty()) return;
        Contact c;
        bool group = false;
        for (const LdifPair& pair : record) {
            const std::string& v = pair.value;
            if (pair.name == "objectclass" && Lower(v).find("group") != std::string::npos)
                group = true;
            if (pair.name == "dn" || pair.name == "objectclass") continue;
            static const std::map<std::string, Field> aliases = {
                {"mobile", &Contact::cellphone},
                {"pager", &Contact::pagerphone},
                {"description", &Contact::xqrvnote},
                {"fax", &Contact::facsimiletelephonenumber},
                {"mozillahomefax", &Contact::xqrvhomefax}};
            Field f = AddressBook::AttributeField(pair.name);
            if (const auto alias = aliases.find(pair.name); !f && alias != aliases.end())
                f = alias->second;
            if (f && ((c.*f).empty() || f == &Contact::xqrvchanged)) Set(c, f, v);
        }
        if (!broken.empty())
            result.skipped.push_back({recordLine, broken});
        else if (group)
            result.skipped.push_back({recordLine, "a group, not a contact"});
        else if (!NameIt(c))
            result.skipped.push_back({recordLine, "no name"});
        else {
            result.contacts.push_back(std::move(c));
            result.lines.push_back(recordLine);
        }
        record.clear();
        broken.clear();
    };
    for (const Line& line : UnfoldedLines(text)) {
        if (Trim(line.text).empty()) {
            finish();
            continue;
        }
        if (line.text[0] == '#') continue;
        const std::size_t colon = line.text.find(':');
        if (colon == std::string::npos || colon == 0) {
            if (record.empty()) {
                result.skipped.push_back({line.number, "not in a record"});
            } else if (broken.empty()) {
                broken = "line " + std::to_string(line.number) + " has no colon";
            }
            continue;
        }
        std::string name = Lower(Trim(line.text.substr(0, colon)));
        if (const std::size_t option = name.find(';'); option != std::string::npos)
            name.erase(option);
        std::string_view rest = std::string_view(line.text).substr(colon + 1);
        std::string value;
        if (!rest.empty() && rest[0] == ':') {
            const QByteArray decoded = QByteArray::fromBase64(
                QByteArray(rest.data() + 1, static_cast<qsizetype>(rest.size() - 1)));
            value = ToUtf8(
                std::string_view(decoded.constData(), static_cast<std::size_t>(decoded.size())));
        } else if (!rest.empty() && rest[0] == '<') {
            continue;  // a value by reference is not fetched
        } else {
            value = ToUtf8(Trim(rest));
        }
        if (name == "version" && record.empty()) continue;
        // The book's own layout starts a record at each dn line, blank or not.
        if (name == "dn") finish();
        if (record.empty()) recordLine = line.number;
        record.push_back({line.number, name, std::move(value)});
    }
    finish();
    return result;
}

namespace {

std::string Escape(std::string_view value, bool structured) {
    std::string out;
    for (char c : value) {
        if (c == '\\' || c == ',' || (c == ';' && structured)) out += '\\';
        if (c == '\r') continue;
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// Folds at 75 bytes, never inside a UTF-8 character.
void PutFolded(std::string& out, const std::string& line) {
    std::size_t pos = 0;
    std::size_t room = 75;
    while (line.size() - pos > room) {
        std::size_t cut = pos + room;
        while (cut > pos && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80) --cut;
        out.append(line, pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        room = 74;
    }
    out.append(line, pos, std::string::npos);
    out += "\r\n";
}

}  // namespace

std::string ContactImport::WriteVCards(const std::vector<Contact>& contacts) {
    std::string out;
    for (const Contact& c : contacts) {
        out += "BEGIN:VCARD\r\nVERSION:4.0\r\n";
        PutFolded(out, "FN:" + Escape(c.cn, false));
        std::string n = "N:";
        const std::string* parts[] = {&c.sn, &c.givenname, &c.xqrvmiddlename, &c.xqrvnameprefix,
                                      &c.xqrvnamesuffix};
        for (std::size_t i = 0; i < std::size(parts); ++i) {
            if (i) n += ';';
            n += Escape(*parts[i], true);
        }
        PutFolded(out, n);
        auto put = [&out](const char* head, const std::string& value) {
            if (!value.empty()) PutFolded(out, head + Escape(value, false));
        };
        put("TEL;TYPE=work,fax:", c.facsimiletelephonenumber);
        put("TEL;TYPE=home,fax:", c.xqrvhomefax);
        put("TEL;TYPE=work,voice:", c.telephonenumber);
        put("TEL;TYPE=home,voice:", c.homephone);
        put("TEL;TYPE=x-msg:", c.xqrvmsg);
        put("TEL;TYPE=cell:", c.cellphone);
        put("TEL;TYPE=pager:", c.pagerphone);
        put("EMAIL:", c.mail);
        std::string note = c.xqrvnote;
        while (!note.empty() && (note.back() == '\n' || note.back() == '\r')) note.pop_back();
        put("NOTE:", note);
        put("X-QRV-EmailList:", c.xqrvemaillist);
        put("X-QRV-ShortCut:", c.xqrvshortcut);
        put("X-QRV-UID:", c.xqrvuid);
        put("X-QRV-RecordLoc:", c.xqrvrecordloc);
        put("X-QRV-Changed:", c.xqrvchanged);
        put("X-QRV-TMPID:", c.xqrvtmpid);
        out += "END:VCARD\r\n";
    }
    return out;
}

std::string ContactImport::BookNote(std::string_view text) { return NoteText(text); }

const std::vector<std::string>& ContactImport::MappableFields() {
    static const std::vector<std::string> fields = {"",
                                                    "cn",
                                                    "givenname",
                                                    "xqrvmiddlename",
                                                    "sn",
                                                    "xqrvnameprefix",
                                                    "xqrvnamesuffix",
                                                    "mail",
                                                    "facsimiletelephonenumber",
                                                    "xqrvhomefax",
                                                    "telephonenumber",
                                                    "homephone",
                                                    "cellphone",
                                                    "pagerphone",
                                                    "xqrvnote",
                                                    CsvMapping::kTypedPhone};
    return fields;
}
