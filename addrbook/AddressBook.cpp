#include "addrbook/AddressBook.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>

#include "addrbook/VCardFile.h"
#include "base/FileReplace.h"
#include "base/Text.h"
#include "base/UniqueFd.h"

namespace {

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
    value = std::string(TrimLeft(rest.substr(start, end - start)));
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

const char* NameOf(Field field) {
    for (const Attribute& a : kAttributes) {
        if (a.field == field) return a.name;
    }
    return "";
}

bool IsDn(const Token& token) { return EqualsNoCase(token.name, "dn"); }

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

// The product on Windows writes the book in the system's code page: a line
// that is not UTF-8 is read as Windows-1252. The file is left as it is.
std::string Windows1252LinesToUtf8(std::string_view text) {
    QStringDecoder windows("windows-1252");
    if (!windows.isValid()) return std::string(text);
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        end = end == std::string_view::npos ? text.size() : end + 1;
        const QByteArrayView line(text.data() + pos, static_cast<qsizetype>(end - pos));
        if (line.isValidUtf8())
            out.append(line.data(), static_cast<std::size_t>(line.size()));
        else
            out += QString(windows(line)).toStdString();
        pos = end;
    }
    return out;
}

// Reads one record's lines into contact (its dn line, the first, starts
// it), or with no contact the lines before the first record. Returns how many
// attribute and note lines belonged to no record.
int ParseLines(std::string_view lines, Contact* contact) {
    int dropped = 0;
    bool noteMode = false;
    auto unrecognised = [&](std::string_view line) {
        if (!noteMode) return;
        if (!contact) {
            ++dropped;
            return;
        }
        contact->xqrvnote.append(line);
        contact->xqrvnote.resize(TrimRight(contact->xqrvnote).size());
        contact->xqrvnote += "\r\n";
    };
    ForEachLine(lines, [&](std::string_view line) {
        const Token token = FirstToken(line);
        if (token.name.empty()) return unrecognised(line);
        if (IsDn(token)) {
            noteMode = false;
            return;
        }
        const Field field = FindAttribute(token.name);
        if (!field) return unrecognised(line);
        std::string value;
        const bool hasValue = ValueOf(token.rest, value);
        if (field == &Contact::xqrvnote) {
            noteMode = true;
            if (!hasValue) return unrecognised(line);
            if (!contact) {
                ++dropped;
                return;
            }
            value.resize(TrimRight(value).size());
            contact->xqrvnote = value + "\r\n";
            return;
        }
        noteMode = false;
        if (!contact) {
            ++dropped;
            return;
        }
        if (hasValue) (*contact).*field = std::move(value);
    });
    return dropped;
}

// One field of a record as ParseLines would read it, for any field but the
// note: the last line that names it with a value.
std::string PeekField(std::string_view lines, Field field) {
    static const Contact kFresh;
    std::string value = kFresh.*field;
    const char* name = NameOf(field);
    ForEachLine(lines, [&](std::string_view line) {
        const Token token = FirstToken(line);
        if (!EqualsNoCase(token.name, name)) return;
        std::string v;
        if (ValueOf(token.rest, v)) value = std::move(v);
    });
    return value;
}

// Most books are all ASCII: only the text from the first other byte on needs
// the full check, which costs several times a scan for that byte.
bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    for (std::uint64_t word = 0; i + sizeof word <= text.size(); i += sizeof word) {
        std::memcpy(&word, text.data() + i, sizeof word);
        if ((word & kHighBits) != 0) break;
    }
    while (i < text.size() && static_cast<unsigned char>(text[i]) < 0x80) ++i;
    const std::string_view rest = text.substr(i);
    return QByteArrayView(rest.data(), static_cast<qsizetype>(rest.size())).isValidUtf8();
}

}  // namespace

void AddressBook::SetFolder(const std::string& folder) {
    folder_ = folder;
    if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

AddressBook::Part::Part() = default;
AddressBook::Part::Part(Part&&) noexcept = default;
AddressBook::Part& AddressBook::Part::operator=(Part&&) noexcept = default;
AddressBook::Part::~Part() = default;

std::string AddressBook::Part::Name(int i) const {
    if (i < 0 || i >= size()) return {};
    return PeekField(entries_[static_cast<std::size_t>(i)].lines, &Contact::cn);
}

namespace {

// Where the book file is read into: the first pieces small, so the first
// records come at once, then larger ones, so the handing over costs little.
constexpr std::size_t kFirstPiece = 256 * 1024;
constexpr std::size_t kLargestPiece = 8 * 1024 * 1024;

struct Cut {
    bool found = false;     // a dn line among the lines looked at
    std::size_t first = 0;  // where the first dn line begins
    std::size_t last = 0;   // where the last one begins
};

// The dn lines among the whole lines of text (all of it at the end of the
// file, else up to the last LF).
Cut FindRecordStarts(std::string_view text, bool atEnd) {
    Cut cut;
    if (!atEnd) {
        const std::size_t lf = text.rfind('\n');
        text = lf == std::string_view::npos ? std::string_view() : text.substr(0, lf + 1);
    }
    ForEachLine(text, [&](std::string_view line) {
        if (!IsDn(FirstToken(line))) return;
        const auto at = static_cast<std::size_t>(line.data() - text.data());
        if (!cut.found) cut.first = at;
        cut.found = true;
        cut.last = at;
    });
    return cut;
}

}  // namespace

// Each record runs from its dn line to the next one or the end; in the
// file's first part the lines before the first record are the preamble.
AddressBook::Part AddressBook::MakePart(TextBuffer text, bool first, bool& hasRecords) {
    if (!IsUtf8(text.view())) text = TextBuffer::Copy(Windows1252LinesToUtf8(text.view()));
    Part part;
    part.first_ = first;
    const std::string_view all = text.view();
    auto offset = [all](std::string_view piece) {
        return static_cast<std::size_t>(piece.data() - all.data());
    };
    ForEachLine(all, [&](std::string_view line) {
        if (!IsDn(FirstToken(line))) return;
        if (!part.entries_.empty()) {
            std::string_view& previous = part.entries_.back().lines;
            previous = previous.substr(0, offset(line) - offset(previous));
        }
        part.entries_.push_back(Entry{all.substr(offset(line)), nullptr});
    });
    hasRecords = !part.entries_.empty();
    if (first && hasRecords)
        part.preamble_ = std::string(all.substr(0, offset(part.entries_.front().lines)));
    part.text_ = std::move(text);
    return part;
}

LoadOutcome AddressBook::ReadParts(const std::string& path, const PartSink& sink) {
    // Not blocking on a FIFO; whatever is not a regular file is unreadable.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return errno == ENOENT || errno == ENOTDIR ? LoadOutcome::Missing : LoadOutcome::Unreadable;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return LoadOutcome::Unreadable;
    bool handed = false;  // a part went to the sink
    std::size_t piece = kFirstPiece;
    TextBuffer carry;  // the bytes read and not handed over yet
    for (;;) {
        // A record longer than a piece makes the next piece as long again,
        // so it is copied a few times at most.
        piece = std::max(piece, carry.size());
        TextBuffer buffer(carry.size() + piece);
        if (!buffer.valid()) return LoadOutcome::Unreadable;
        if (carry.size() > 0) std::memcpy(buffer.data(), carry.data(), carry.size());
        std::size_t got = carry.size();
        bool atEnd = false;
        while (got < buffer.size()) {
            const ssize_t n = ::read(fd.get(), buffer.data() + got, buffer.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return LoadOutcome::Unreadable;
            if (n == 0) {
                atEnd = true;
                break;
            }
            got += static_cast<std::size_t>(n);
        }
        buffer.Truncate(got);
        const Cut cut = FindRecordStarts(buffer.view(), atEnd);
        if (atEnd) {
            if (!cut.found) return handed ? LoadOutcome::Loaded : LoadOutcome::NoRecords;
            bool records = false;
            Part part = MakePart(std::move(buffer), !handed, records);
            (void)sink(std::move(part));
            return LoadOutcome::Loaded;
        }
        // A part ends where the last dn line begins, and holds a record.
        if (cut.found && cut.last > cut.first) {
            carry = TextBuffer::Copy(buffer.view().substr(cut.last));
            buffer.Truncate(cut.last);
            bool records = false;
            Part part = MakePart(std::move(buffer), !handed, records);
            handed = true;
            if (!sink(std::move(part))) return LoadOutcome::Loaded;
        } else {
            carry = std::move(buffer);
        }
        piece = std::min(piece * 2, kLargestPiece);
    }
}

void AddressBook::Take(Part&& part) {
    if (part.entries_.empty()) return;
    if (part.first_) {
        dropped_ = ParseLines(part.preamble_, nullptr);
        if (entries_.empty()) preamble_ = std::move(part.preamble_);
    }
    std::move(part.entries_.begin(), part.entries_.end(), std::back_inserter(entries_));
    texts_.push_back(std::move(part.text_));
    count_ = static_cast<std::int32_t>(entries_.size());
    outcome_ = LoadOutcome::Loaded;
}

bool AddressBook::Load() {
    count_ = 0;
    dropped_ = 0;
    // Nothing is appended unless the whole file could be read.
    std::vector<Part> parts;
    outcome_ = ReadParts(BookPath(), [&parts](Part&& part) {
        parts.push_back(std::move(part));
        return true;
    });
    if (outcome_ != LoadOutcome::Loaded) return false;
    for (Part& part : parts) Take(std::move(part));
    return true;
}

bool AddressBook::LoadFromText(std::string_view text) {
    count_ = 0;
    dropped_ = 0;
    bool records = false;
    Part part = MakePart(TextBuffer::Copy(text), true, records);
    if (!records) {
        outcome_ = LoadOutcome::NoRecords;
        return false;
    }
    Take(std::move(part));
    return true;
}

std::string AddressBook::FieldOf(const Entry& entry, Field field) {
    if (entry.contact) return (*entry.contact).*field;
    if (field == &Contact::xqrvnote) {
        Contact parsed;
        (void)ParseLines(entry.lines, &parsed);
        return parsed.xqrvnote;
    }
    return PeekField(entry.lines, field);
}

namespace {

// Lines of a record that name no attribute and belong to no note (another
// program's attributes): kept when the record is written in the layout.
std::string ForeignLines(std::string_view lines) {
    std::string kept;
    bool noteMode = false;
    ForEachLine(lines, [&](std::string_view line) {
        const Token token = FirstToken(line);
        if (token.name.empty()) return;
        if (IsDn(token)) return;
        const Field field = FindAttribute(token.name);
        if (field) {
            noteMode = field == &Contact::xqrvnote;
            return;
        }
        if (noteMode) return;
        kept.append(line);
        kept += '\n';
    });
    return kept;
}

// One contact in the layout Save writes, with LF line ends.
void PutRecord(std::string& out, const Contact& c, std::string_view foreign) {
    auto put = [&out](const char* name, const std::string& value) {
        if (value.empty()) return;
        out += name;
        out += ": ";
        out += value;
        out += '\n';
    };
    out += "dn: cn=" + c.cn + ",mail=" + c.mail + "\n";
    out += "cn: " + c.cn + "\n";
    put("mail", c.mail);
    put("telephonenumber", c.telephonenumber);
    put("homephone", c.homephone);
    put("facsimiletelephonenumber", c.facsimiletelephonenumber);
    put("cellphone", c.cellphone);
    put("pagerphone", c.pagerphone);
    put("xqrvhomefax", c.xqrvhomefax);
    put("xqrvuid", c.xqrvuid);
    put("xqrvshortcut", c.xqrvshortcut);
    put("xqrvrecordloc", c.xqrvrecordloc);
    put("xqrvmsg", c.xqrvmsg);
    put("givenname", c.givenname);
    put("xqrvmiddlename", c.xqrvmiddlename);
    put("sn", c.sn);
    put("xqrvnameprefix", c.xqrvnameprefix);
    put("xqrvnamesuffix", c.xqrvnamesuffix);
    put("xqrvtmpid", c.xqrvtmpid);
    put("xqrvemaillist", c.xqrvemaillist);
    put("xqrvchanged", c.xqrvchanged);
    out += foreign;  // before the note, which would take them in
    put("xqrvnote", c.xqrvnote);
    out += '\n';
}

}  // namespace

AddressBook::Field AddressBook::AttributeField(std::string_view name) {
    return FindAttribute(name);
}

std::string AddressBook::Format() const {
    // A record read from the file and not changed since goes out as it was
    // read, so other programs' lines and layouts survive a save; a changed or
    // new one is written in the layout below. Written with LF; every LF
    // reaches the disk as CR LF, as the other programs of the product read
    // and write this file.
    std::string out(preamble_);
    for (const Entry& entry : entries_) {
        if (!entry.lines.empty()) {
            bool untouched = !entry.contact;
            if (!untouched) {
                Contact parsed;
                (void)ParseLines(entry.lines, &parsed);
                untouched = parsed == *entry.contact;
            }
            if (untouched) {
                if (PeekField(entry.lines, &Contact::cn).empty()) continue;
                out.append(entry.lines);
                if (entry.lines.back() != '\n') out += "\r\n";
                continue;
            }
        }
        const Contact& c = *entry.contact;
        if (c.cn.empty()) continue;
        std::string record;
        PutRecord(record, c, entry.lines.empty() ? std::string() : ForeignLines(entry.lines));
        out += WithCrLf(record);
    }
    return out;
}

bool AddressBook::Save() const { return WriteFileReplacing(BookPath(), Format()); }

std::int32_t AddressBook::GetCount() {
    count_ = static_cast<std::int32_t>(entries_.size());
    return count_;
}

Contact* AddressBook::At(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return nullptr;
    const Entry& entry = entries_[static_cast<std::size_t>(index)];
    if (!entry.contact) {
        entry.contact = std::make_unique<Contact>();
        (void)ParseLines(entry.lines, entry.contact.get());
    }
    return entry.contact.get();
}

std::string AddressBook::GetField(int index, int field) const {
    static constexpr Field kNumbered[] = {&Contact::cn,
                                          &Contact::mail,
                                          &Contact::homephone,
                                          &Contact::xqrvhomefax,
                                          &Contact::telephonenumber,
                                          &Contact::facsimiletelephonenumber,
                                          &Contact::cellphone,
                                          &Contact::pagerphone,
                                          &Contact::sn,
                                          &Contact::sn,
                                          &Contact::xqrvnote};
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size() || field < 0 ||
        static_cast<std::size_t>(field) >= std::size(kNumbered))
        return {};
    return FieldOf(entries_[static_cast<std::size_t>(index)], kNumbered[field]);
}

Contact* AddressBook::FindById(const std::string& id) const { return At(IndexOfId(id)); }

int AddressBook::IndexOfId(const std::string& id) const {
    if (id.empty()) return -1;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (EqualsNoCase(FieldOf(entries_[i], &Contact::xqrvuid), id) ||
            EqualsNoCase(FieldOf(entries_[i], &Contact::xqrvtmpid), id))
            return static_cast<int>(i);
    }
    return -1;
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
    entries_.erase(entries_.begin() + index);
    count_ = static_cast<std::int32_t>(entries_.size());
}

bool AddressBook::Clear() {
    entries_.clear();
    preamble_.clear();
    texts_.clear();
    count_ = 0;
    return true;
}

void AddressBook::Append(std::unique_ptr<Contact> contact) {
    if (contact) entries_.push_back(Entry{{}, std::move(contact)});
    count_ = static_cast<std::int32_t>(entries_.size());
}

void AddressBook::Replace(int index, const Contact& contact) {
    if (Contact* c = At(index)) *c = contact;
}
