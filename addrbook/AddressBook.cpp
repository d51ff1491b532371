#include "addrbook/AddressBook.h"

#include <sys/stat.h>

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>

#include "addrbook/VCardFile.h"
#include "wizard/FileReplace.h"

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimLeft(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && IsSpace(s[i])) ++i;
    return std::string(s.substr(i));
}

void TrimRight(std::string& s) {
    while (!s.empty() && IsSpace(s.back())) s.pop_back();
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Only ASCII letters fold; bytes of multi-byte UTF-8 characters compare as
// they are, so a character is never split or folded into another.
bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

struct Token {
    std::string_view name;  // empty: the line has no token
    std::string_view rest;  // after the one delimiter that ends the token
};

// First token with the delimiters ':' and ' '; leading delimiters skipped.
Token FirstToken(std::string_view line) {
    auto isDelim = [](char c) { return c == ':' || c == ' '; };
    std::size_t start = 0;
    while (start < line.size() && isDelim(line[start])) ++start;
    if (start == line.size()) return {};
    std::size_t end = start;
    while (end < line.size() && !isDelim(line[end])) ++end;
    Token t;
    t.name = line.substr(start, end - start);
    t.rest = end < line.size() ? line.substr(end + 1) : std::string_view();
    return t;
}

// The value of an attribute line: leading TABs skipped, up to the next TAB,
// leading white space removed. false when nothing but TABs is left.
bool ValueOf(std::string_view rest, std::string& value) {
    std::size_t start = 0;
    while (start < rest.size() && rest[start] == '\t') ++start;
    if (start == rest.size()) return false;
    std::size_t end = rest.find('\t', start);
    if (end == std::string_view::npos) end = rest.size();
    value = TrimLeft(rest.substr(start, end - start));
    return true;
}

using Field = std::string Contact::*;

struct Attribute {
    const char* name;
    Field field;
};

constexpr Attribute kAttributes[] = {
    {"cn", &Contact::cn},
    {"sn", &Contact::sn},
    {"givenname", &Contact::givenname},
    {"xqrvmiddlename", &Contact::xqrvmiddlename},
    {"xqrvnameprefix", &Contact::xqrvnameprefix},
    {"xqrvnamesuffix", &Contact::xqrvnamesuffix},
    {"mail", &Contact::mail},
    {"homephone", &Contact::homephone},
    {"xqrvhomefax", &Contact::xqrvhomefax},
    {"telephonenumber", &Contact::telephonenumber},
    {"facsimiletelephonenumber", &Contact::facsimiletelephonenumber},
    {"cellphone", &Contact::cellphone},
    {"pagerphone", &Contact::pagerphone},
    {"xqrvmsg", &Contact::xqrvmsg},
    {"xqrvemaillist", &Contact::xqrvemaillist},
    {"xqrvnote", &Contact::xqrvnote},
    {"xqrvshortcut", &Contact::xqrvshortcut},
    {"xqrvuid", &Contact::xqrvuid},
    {"xqrvrecordloc", &Contact::xqrvrecordloc},
    {"xqrvchanged", &Contact::xqrvchanged},
    {"xqrvtmpid", &Contact::xqrvtmpid},
};

Field FindAttribute(std::string_view name) {
    for (const Attribute& a : kAttributes) {
        if (EqualsNoCase(name, a.name)) return a.field;
    }
    return nullptr;
}

// Splits text into lines: LF ends a line, one CR in front of it belongs to the
// line end, any other CR stays in the line.
template <typename F>
void ForEachLine(std::string_view text, F&& f) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t lf = text.find('\n', pos);
        std::size_t end = lf == std::string_view::npos ? text.size() : lf;
        std::size_t stop = end;
        if (lf != std::string_view::npos && stop > pos && text[stop - 1] == '\r') --stop;
        f(text.substr(pos, stop - pos));
        if (lf == std::string_view::npos) break;
        pos = lf + 1;
    }
}

// The file's bytes in one read of its size (and more while it grows).
bool ReadWhole(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size < 0 || !in) return false;
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), size);
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return false;
    if (in) {
        std::ostringstream rest;
        rest << in.rdbuf();
        text += rest.str();
    }
    return !in.bad();
}

// The product on Windows writes the book in the system's code page: a line
// that is not UTF-8 is read as Windows-1252. The file is left as it is.
std::string Windows1252LinesToUtf8(const std::string& text) {
    QStringDecoder windows("windows-1252");
    if (!windows.isValid()) return text;
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        const QByteArrayView line(text.data() + pos, static_cast<qsizetype>(end - pos));
        if (line.isValidUtf8())
            out.append(line.data(), static_cast<std::size_t>(line.size()));
        else
            out += QString(windows(line)).toStdString();
        pos = end;
    }
    return out;
}

}  // namespace

void AddressBook::SetFolder(const std::string& folder) {
    folder_ = folder;
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

bool AddressBook::Load() {
    count_ = 0;
    dropped_ = 0;
    const std::string path = BookPath();
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        outcome_ =
            errno == ENOENT || errno == ENOTDIR ? LoadOutcome::Missing : LoadOutcome::Unreadable;
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        outcome_ = LoadOutcome::Unreadable;
        return false;
    }
    std::string text;
    if (!ReadWhole(path, text)) {
        outcome_ = LoadOutcome::Unreadable;
        return false;
    }
    if (!QByteArrayView(text).isValidUtf8()) text = Windows1252LinesToUtf8(text);
    return LoadFromText(text);
}

bool AddressBook::LoadFromText(std::string_view text) {
    count_ = 0;
    dropped_ = 0;
    bool anyRecord = false;
    ForEachLine(text, [&anyRecord](std::string_view line) {
        if (EqualsNoCase(FirstToken(line).name, "dn")) anyRecord = true;
    });
    if (!anyRecord) {
        outcome_ = LoadOutcome::NoRecords;
        return false;
    }

    std::unique_ptr<Contact> open;
    bool noteMode = false;
    auto unrecognised = [&](std::string_view line) {
        if (!noteMode) return;
        if (!open) {
            ++dropped_;
            return;
        }
        open->xqrvnote.append(line);
        TrimRight(open->xqrvnote);
        open->xqrvnote += "\r\n";
    };
    ForEachLine(text, [&](std::string_view line) {
        const Token token = FirstToken(line);
        if (token.name.empty()) return unrecognised(line);
        if (EqualsNoCase(token.name, "dn")) {
            noteMode = false;
            if (open) contacts_.push_back(std::move(open));
            open = std::make_unique<Contact>();
            return;
        }
        const Field field = FindAttribute(token.name);
        if (!field) return unrecognised(line);
        std::string value;
        const bool hasValue = ValueOf(token.rest, value);
        if (field == &Contact::xqrvnote) {
            noteMode = true;
            if (!hasValue) return unrecognised(line);
            if (!open) {
                ++dropped_;
                return;
            }
            TrimRight(value);
            open->xqrvnote = value + "\r\n";
            return;
        }
        noteMode = false;
        // Attribute lines before the first dn line belong to no record.
        if (!open) {
            ++dropped_;
            return;
        }
        if (hasValue) (*open).*field = std::move(value);
    });
    if (open) contacts_.push_back(std::move(open));
    count_ = static_cast<std::int32_t>(contacts_.size());
    outcome_ = LoadOutcome::Loaded;
    return true;
}

std::string AddressBook::Format() const {
    std::string out;
    // Written with LF; every LF reaches the disk as CR LF, as the other
    // programs of the product read and write this file.
    auto put = [&out](const char* name, const std::string& value) {
        if (value.empty()) return;
        out += name;
        out += ": ";
        out += value;
        out += '\n';
    };
    for (const auto& c : contacts_) {
        if (c->cn.empty()) continue;
        out += "dn: cn=" + c->cn + ",mail=" + c->mail + "\n";
        out += "cn: " + c->cn + "\n";
        put("mail", c->mail);
        put("telephonenumber", c->telephonenumber);
        put("homephone", c->homephone);
        put("facsimiletelephonenumber", c->facsimiletelephonenumber);
        put("cellphone", c->cellphone);
        put("pagerphone", c->pagerphone);
        put("xqrvhomefax", c->xqrvhomefax);
        put("xqrvuid", c->xqrvuid);
        put("xqrvshortcut", c->xqrvshortcut);
        put("xqrvrecordloc", c->xqrvrecordloc);
        put("xqrvmsg", c->xqrvmsg);
        put("givenname", c->givenname);
        put("xqrvmiddlename", c->xqrvmiddlename);
        put("sn", c->sn);
        put("xqrvnameprefix", c->xqrvnameprefix);
        put("xqrvnamesuffix", c->xqrvnamesuffix);
        put("xqrvtmpid", c->xqrvtmpid);
        put("xqrvemaillist", c->xqrvemaillist);
        put("xqrvchanged", c->xqrvchanged);
        put("xqrvnote", c->xqrvnote);
        out += '\n';
    }
    return WithCrLf(out);
}

bool AddressBook::Save() const { return WriteFileReplacing(BookPath(), Format()); }

std::int32_t AddressBook::GetCount() {
    count_ = static_cast<std::int32_t>(contacts_.size());
    return count_;
}

Contact* AddressBook::At(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= contacts_.size()) return nullptr;
    return contacts_[static_cast<std::size_t>(index)].get();
}

std::string AddressBook::GetField(int index, int field) const {
    const Contact* c = At(index);
    if (!c) return {};
    switch (field) {
        case 0:
            return c->cn;
        case 1:
            return c->mail;
        case 2:
            return c->homephone;
        case 3:
            return c->xqrvhomefax;
        case 4:
            return c->telephonenumber;
        case 5:
            return c->facsimiletelephonenumber;
        case 6:
            return c->cellphone;
        case 7:
            return c->pagerphone;
        case 8:
        case 9:
            return c->sn;
        case 10:
            return c->xqrvnote;
        default:
            return {};
    }
}

Contact* AddressBook::FindById(const std::string& id) const {
    if (id.empty()) return nullptr;
    for (const auto& c : contacts_) {
        if (EqualsNoCase(c->xqrvuid, id) || EqualsNoCase(c->xqrvtmpid, id)) return c.get();
    }
    return nullptr;
}

void AddressBook::DeleteContact(int index) {
    const Contact* c = At(index);
    if (!c) return;
    if (!c->xqrvuid.empty()) {
        VCardFile log;
        // A log that cannot be written does not stop the deletion.
        if (log.Open(folder_ + kDeletedFileName)) (void)log.WriteContact(*c);
        log.Close();
    }
    contacts_.erase(contacts_.begin() + index);
    count_ = static_cast<std::int32_t>(contacts_.size());
}

bool AddressBook::Clear() {
    contacts_.clear();
    count_ = 0;
    return true;
}

void AddressBook::Append(std::unique_ptr<Contact> contact) {
    if (contact) contacts_.push_back(std::move(contact));
    count_ = static_cast<std::int32_t>(contacts_.size());
}
