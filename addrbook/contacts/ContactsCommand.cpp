#include "addrbook/contacts/ContactsCommand.h"

#include <fstream>
#include <iterator>

#include "addrbook/contacts/ContactBook.h"
#include "addrbook/contacts/ContactImport.h"
#include "base/FileReplace.h"

namespace {

// Names and texts come from files anyone could have written: no control
// characters reach the terminal.
std::string Printable(std::string text) {
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return text;
}

bool ReadFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

const char* Why(WriteStatus status) {
    switch (status) {
        case WriteStatus::Busy:
            return "the address book is busy in another program";
        case WriteStatus::Unreadable:
            return "the address book cannot be read; it was left as it is";
        default:
            return "the address book could not be written; it was left as it was";
    }
}

}  // namespace

int ContactsCommand::Run(const std::string& folder, std::FILE* out, std::FILE* err) const {
    ContactBook book(folder);
    int status = kDone;
    if (!imports.empty()) {
        // Every file is read before the book is touched: all or nothing.
        ImportResult all;
        for (const std::string& path : imports) {
            std::string text;
            if (!ReadFile(path, text)) {
                std::fprintf(err, "corvinaport-contacts: %s: cannot be read\n",
                             Printable(path).c_str());
                return kFailed;
            }
            ImportResult read;
            switch (ContactImport::Detect(text, path)) {
                case ContactImport::Format::VCard:
                    read = ContactImport::ReadVCards(text);
                    break;
                case ContactImport::Format::Ldif:
                    read = ContactImport::ReadLdif(text);
                    break;
                case ContactImport::Format::Csv: {
                    CsvMapping mapping = ContactImport::GuessCsvMapping(text);
                    (void)ContactBook::RecallMapping(mappingsPath, mapping);
                    read = ContactImport::ReadCsv(text, mapping);
                    break;
                }
                case ContactImport::Format::Unknown:
                    std::fprintf(err, "corvinaport-contacts: %s: not a vCard, CSV or LDIF file\n",
                                 Printable(path).c_str());
                    return kFailed;
            }
            for (const SkippedItem& s : read.skipped) {
                std::fprintf(err, "%s: line %d: skipped: %s\n", Printable(path).c_str(), s.line,
                             Printable(s.reason).c_str());
                status = kSomeSkipped;
            }
            all.contacts.insert(all.contacts.end(), read.contacts.begin(), read.contacts.end());
            all.lines.insert(all.lines.end(), read.lines.begin(), read.lines.end());
        }
        ImportSummary summary;
        const WriteResult written = book.Import(all, summary);
        if (!written.ok()) {
            std::fprintf(err, "corvinaport-contacts: %s\n", Why(written.status));
            return kFailed;
        }
        for (const std::string& note : summary.notes)
            std::fprintf(out, "%s\n", Printable(note).c_str());
        std::fprintf(out,
                     "%d added, %d merged, %d already in the book, %d kept beside a "
                     "contact of the same name and fax number\n",
                     summary.added, summary.merged, summary.duplicates, summary.keptBoth);
    }
    if (!exportTo.empty()) {
        if (imports.empty() && !book.Open()) {
            std::fprintf(err, "corvinaport-contacts: %s\n", Why(WriteStatus::Unreadable));
            return kFailed;
        }
        std::vector<Contact> contacts;
        AddressBook& b = book.book();
        contacts.reserve(static_cast<std::size_t>(b.size()));
        for (int i = 0; i < b.size(); ++i) contacts.push_back(*b.At(i));
        if (!WriteFileReplacing(exportTo, ContactImport::WriteVCards(contacts),
                                FileAccess::Private)) {
            std::fprintf(err, "corvinaport-contacts: %s: cannot be written\n",
                         Printable(exportTo).c_str());
            return kFailed;
        }
        std::fprintf(out, "%d contacts exported\n", b.size());
    }
    return status;
}
