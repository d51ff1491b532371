#include "addrbook/contacts/ContactBook.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <QUuid>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>
#include <unordered_map>

#include "addrbook/VCardFile.h"
#include "base/FileReplace.h"
#include "base/Text.h"
#include "base/UniqueFd.h"

namespace {

// The folder itself is locked (flock), so no lock file is left behind and
// a book replaced by renaming stays under the same lock.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder)
        : fd_(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (!fd_) return;
        // A writer holds it for one save; five seconds is a writer gone wrong.
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() > until) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        held_ = true;
    }
    [[nodiscard]] bool opened() const { return static_cast<bool>(fd_); }
    [[nodiscard]] bool held() const { return held_; }

  private:
    UniqueFd fd_;  // closing it releases the lock
    bool held_ = false;
};

std::string Digits(const std::string& s) {
    std::string d;
    for (char c : s) {
        if (c >= '0' && c <= '9') d += c;
    }
    return d;
}

// Same name and same fax number (with neither fax, the same e-mail).
std::string DuplicateKey(const std::string& cn, const std::string& fax, const std::string& homeFax,
                         const std::string& mail) {
    std::string number = Digits(fax.empty() ? homeFax : fax);
    return Lower(cn) + '\x1f' + (number.empty() ? "@" + Lower(mail) : number);
}

constexpr AddressBook::Field kAllFields[] = {
    &Contact::cn,
    &Contact::sn,
    &Contact::givenname,
    &Contact::xqrvmiddlename,
    &Contact::xqrvnameprefix,
    &Contact::xqrvnamesuffix,
    &Contact::mail,
    &Contact::homephone,
    &Contact::xqrvhomefax,
    &Contact::telephonenumber,
    &Contact::facsimiletelephonenumber,
    &Contact::cellphone,
    &Contact::pagerphone,
    &Contact::xqrvmsg,
    &Contact::xqrvemaillist,
    &Contact::xqrvnote,
    &Contact::xqrvshortcut,
    &Contact::xqrvuid,
    &Contact::xqrvrecordloc,
    &Contact::xqrvtmpid,
};

bool IsNumber(AddressBook::Field f) {
    return f == &Contact::homephone || f == &Contact::xqrvhomefax ||
           f == &Contact::telephonenumber || f == &Contact::facsimiletelephonenumber ||
           f == &Contact::cellphone || f == &Contact::pagerphone || f == &Contact::xqrvmsg;
}

// Equal for a duplicate: names and addresses in any case, numbers in any
// writing.
bool Same(AddressBook::Field f, const std::string& a, const std::string& b) {
    if (IsNumber(f)) return Digits(a) == Digits(b);
    if (f == &Contact::cn || f == &Contact::mail) return Lower(a) == Lower(b);
    return a == b;
}

std::string ReadWhole(const std::string& path, bool& readable) {
    std::ifstream in(path, std::ios::binary);
    readable = static_cast<bool>(in);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

bool ContactBook::Stamp::operator==(const Stamp& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
}

ContactBook::ContactBook(const std::string& folder) {
    book_.SetFolder(folder);
    folder_ = book_.folder();
}

ContactBook::Stamp ContactBook::StampOf(const std::string& path) {
    Stamp s;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return s;
    s.exists = true;
    s.device = info.st_dev;
    s.inode = info.st_ino;
    s.size = info.st_size;
    s.modified = info.st_mtim;
    return s;
}

bool ContactBook::Open() {
    const FolderLock lock(folder_);
    return Read();
}

bool ContactBook::Read() {
    (void)book_.Clear();
    const std::string path = book_.BookPath();
    bookStamp_ = StampOf(path);
    (void)book_.Load();
    outcome_ = book_.lastOutcome();
    // A file with text but no record is not the user's book: it is kept.
    if (outcome_ == LoadOutcome::NoRecords && bookStamp_.size != 0)
        outcome_ = LoadOutcome::Unreadable;
    listsStamp_ = StampOf(folder_ + kListsFileName);
    bool readable = true;
    lists_ = ParseLists(ReadWhole(folder_ + kListsFileName, readable));
    return outcome_ != LoadOutcome::Unreadable;
}

bool ContactBook::ChangedOnDisk() const {
    return !(StampOf(book_.BookPath()) == bookStamp_) ||
           !(StampOf(folder_ + kListsFileName) == listsStamp_);
}

WriteResult ContactBook::Write(const std::function<void(WriteResult&)>& change, bool lists) {
    WriteResult result;
    const FolderLock lock(folder_);
    if (!lock.held()) {
        // A folder that is not there (or not one) cannot take the book.
        result.status = lock.opened() ? WriteStatus::Busy : WriteStatus::NotSaved;
        return result;
    }
    if (ChangedOnDisk() || outcome_ == LoadOutcome::NotLoaded) {
        result.reloaded = outcome_ != LoadOutcome::NotLoaded;
        if (!Read()) {
            result.status = WriteStatus::Unreadable;
            return result;
        }
    }
    if (outcome_ == LoadOutcome::Unreadable) {
        result.status = WriteStatus::Unreadable;
        return result;
    }
    change(result);
    if (!book_.Save()) return result;
    bookStamp_ = StampOf(book_.BookPath());
    if (lists) {
        if (!WriteFileReplacing(folder_ + kListsFileName, FormatLists(lists_))) return result;
        listsStamp_ = StampOf(folder_ + kListsFileName);
    }
    result.status = WriteStatus::Saved;
    return result;
}

int ContactBook::Locate(int index, const Contact& before, bool reloaded) const {
    if (!reloaded) {
        const Contact* c = book_.At(index);
        if (c && *c == before) return index;
    }
    for (int i = 0; i < book_.size(); ++i) {
        if (book_.GetField(i, 0) == before.cn && *book_.At(i) == before) return i;
    }
    return -1;
}

WriteResult ContactBook::Add(const Contact& contact) {
    return Write([&](WriteResult&) { book_.Append(std::make_unique<Contact>(contact)); });
}

WriteResult ContactBook::Change(int index, const Contact& before, const Contact& after) {
    return Write([&](WriteResult& r) {
        const int at = Locate(index, before, r.reloaded);
        if (at >= 0) {
            book_.Replace(at, after);
        } else {
            ++r.conflicts;
            book_.Append(std::make_unique<Contact>(after));
        }
    });
}

WriteResult ContactBook::Remove(const std::vector<std::pair<int, Contact>>& shown) {
    return Write([&](WriteResult& r) {
        std::vector<int> found;
        for (const auto& [index, before] : shown) {
            const int at = Locate(index, before, r.reloaded);
            if (at < 0)
                ++r.conflicts;
            else if (std::find(found.begin(), found.end(), at) == found.end())
                found.push_back(at);
        }
        // In book order, each index moved by the deletions before it.
        std::sort(found.begin(), found.end());
        int gone = 0;
        for (int at : found) book_.DeleteContact(at - gone++);
    });
}

WriteResult ContactBook::Import(const ImportResult& read, ImportSummary& summary) {
    return Write([&](WriteResult&) {
        summary = {};
        // Every contact of each name and number, so one import read twice
        // finds what it added the first time.
        std::unordered_map<std::string, std::vector<int>> known;
        known.reserve(static_cast<std::size_t>(book_.size()) + read.contacts.size());
        for (int i = 0; i < book_.size(); ++i)
            known[DuplicateKey(book_.GetField(i, 0), book_.GetField(i, 5), book_.GetField(i, 3),
                               book_.GetField(i, 1))]
                .push_back(i);
        for (std::size_t n = 0; n < read.contacts.size(); ++n) {
            const Contact& c = read.contacts[n];
            const std::string where =
                "line " + std::to_string(n < read.lines.size() ? read.lines[n] : 0) + ": " + c.cn;
            std::vector<int>& same =
                known[DuplicateKey(c.cn, c.facsimiletelephonenumber, c.xqrvhomefax, c.mail)];
            // The first contact of the key that the new one agrees with.
            int match = -1;
            Contact merged;
            bool adds = false;
            for (int index : same) {
                merged = *book_.At(index);
                adds = false;
                bool differs = false;
                for (AddressBook::Field f : kAllFields) {
                    if ((c.*f).empty() || Same(f, c.*f, merged.*f)) continue;
                    if ((merged.*f).empty()) {
                        merged.*f = c.*f;
                        adds = true;
                    } else {
                        differs = true;
                    }
                }
                if (!differs) {
                    match = index;
                    break;
                }
            }
            if (match >= 0 && adds) {
                book_.Replace(match, merged);
                ++summary.merged;
                summary.notes.push_back(where + ": merged into the contact of the same name");
            } else if (match >= 0) {
                ++summary.duplicates;
                summary.notes.push_back(where + ": already in the book");
            } else {
                if (!same.empty()) {
                    // Both are kept, and the user is told.
                    ++summary.keptBoth;
                    summary.notes.push_back(where +
                                            ": same name and fax number as a contact "
                                            "with other details; both kept");
                } else {
                    ++summary.added;
                }
                same.push_back(book_.size());
                book_.Append(std::make_unique<Contact>(c));
            }
        }
    });
}

WriteResult ContactBook::SetList(const std::string& name,
                                 const std::vector<std::pair<int, Contact>>& members) {
    return Write(
        [&](WriteResult& r) {
            DistributionList list{name, {}};
            for (const auto& [index, before] : members) {
                const int at = Locate(index, before, r.reloaded);
                if (at < 0) {
                    ++r.conflicts;
                    continue;
                }
                Contact* c = book_.At(at);
                if (c->xqrvuid.empty()) {
                    c->xqrvuid =
                        QUuid::createUuid().toString(QUuid::WithBraces).toUpper().toStdString();
                }
                list.members.push_back(c->xqrvuid);
            }
            auto it = std::find_if(lists_.begin(), lists_.end(),
                                   [&](const DistributionList& l) { return l.name == name; });
            if (it != lists_.end()) lists_.erase(it);
            if (!list.members.empty()) lists_.push_back(std::move(list));
        },
        true);
}

std::vector<Contact> ContactBook::Members(const DistributionList& list) const {
    std::vector<Contact> found;
    for (const std::string& id : list.members) {
        if (const Contact* c = book_.FindById(id)) found.push_back(*c);
    }
    return found;
}

std::string ContactBook::FormatLists(const std::vector<DistributionList>& lists) {
    std::string out;
    for (const DistributionList& l : lists) {
        out += "dn: cn=" + l.name + "\n";
        out += "objectclass: top\nobjectclass: groupOfNames\n";
        out += "cn: " + l.name + "\n";
        for (const std::string& id : l.members) out += "member: xqrvuid=" + id + "\n";
        out += "\n";
    }
    return WithCrLf(out);
}

std::vector<DistributionList> ContactBook::ParseLists(std::string_view text) {
    std::vector<DistributionList> lists;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        const std::string name = Lower(std::string(line.substr(0, colon)));
        std::string_view value = line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') value.remove_prefix(1);
        if (name == "dn") {
            lists.emplace_back();
        } else if (lists.empty()) {
            continue;
        } else if (name == "cn") {
            lists.back().name = std::string(value);
        } else if (name == "member" && Lower(std::string(value.substr(0, 8))) == "xqrvuid=") {
            lists.back().members.emplace_back(value.substr(8));
        }
    }
    std::erase_if(lists, [](const DistributionList& l) { return l.name.empty(); });
    return lists;
}

bool ContactBook::RememberMapping(const std::string& path, const CsvMapping& mapping) {
    bool readable = true;
    const std::string old = ReadWhole(path, readable);
    const std::string signature = mapping.Signature();
    std::string out;
    // Pairs of lines: the headings, then the fields; the mapping for the
    // same headings is replaced.
    std::size_t pos = 0;
    while (pos < old.size()) {
        const std::size_t a = old.find('\n', pos);
        if (a == std::string::npos) break;
        const std::size_t b = old.find('\n', a + 1);
        if (b == std::string::npos) break;
        if (old.substr(pos, a - pos) != signature) out += old.substr(pos, b + 1 - pos);
        pos = b + 1;
    }
    std::string fields;
    for (const std::string& f : mapping.fields) fields += f + '\x1f';
    out += signature + "\n" + fields + "\n";
    return WriteFileReplacing(path, out, FileAccess::Private);
}

bool ContactBook::RecallMapping(const std::string& path, CsvMapping& mapping) {
    bool readable = true;
    const std::string text = ReadWhole(path, readable);
    const std::string signature = mapping.Signature();
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t a = text.find('\n', pos);
        if (a == std::string::npos) break;
        const std::size_t b = text.find('\n', a + 1);
        if (b == std::string::npos) break;
        if (text.substr(pos, a - pos) == signature) {
            std::vector<std::string> fields;
            std::string field;
            for (char c : text.substr(a + 1, b - a - 1)) {
                if (c == '\x1f') {
                    fields.push_back(std::move(field));
                    field.clear();
                } else {
                    field += c;
                }
            }
            if (fields.size() != mapping.headings.size()) return false;
            mapping.fields = std::move(fields);
            return true;
        }
        pos = b + 1;
    }
    return false;
}
