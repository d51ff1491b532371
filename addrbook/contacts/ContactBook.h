#pragma once

#include <sys/types.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "addrbook/AddressBook.h"
#include "addrbook/contacts/ContactImport.h"

// A named group of contacts, by their xqrvuid.
struct DistributionList {
    std::string name;
    std::vector<std::string> members;
    [[nodiscard]] bool operator==(const DistributionList&) const = default;
};

enum class WriteStatus {
    Saved,
    Busy,        // another writer held the book too long
    Unreadable,  // the book on disk could not be read; it is not overwritten
    NotSaved,    // the new file could not be written; the old one stays
};

struct WriteResult {
    WriteStatus status = WriteStatus::NotSaved;
    // Another writer had saved the book since it was read: it was read
    // again and the change made on what that writer left.
    bool reloaded = false;
    // Contacts this change was about that the other writer had changed or
    // deleted: an edit of one is kept as a new contact, a deletion is moot.
    int conflicts = 0;
    [[nodiscard]] bool ok() const { return status == WriteStatus::Saved; }
};

// What an import did with each contact that was not simply added.
struct ImportSummary {
    int added = 0, merged = 0, duplicates = 0, keptBoth = 0;
    std::vector<std::string> notes;  // "line 7: Ann Lee: merged", C locale
};

// The address book kept by the user: addrbook.ldif (through AddressBook's
// Save and DeleteContact, so the deleted-items log is written) and the
// distribution lists beside it in addrlists.ldif. The book's own records
// hold no room for groups: every record of addrbook.ldif is read as a
// contact by every reader of the book, so a group record there would show up
// as a contact without numbers.
//
// Every change takes the folder's lock, reads the book again when another
// writer saved it since it was read, makes the change, and saves; so two
// writers never lose each other's edits.
class ContactBook {
  public:
    static constexpr const char* kListsFileName = "addrlists.ldif";

    explicit ContactBook(const std::string& folder);

    // Reads the book and the lists; a missing book is an empty one.
    [[nodiscard]] bool Open();
    [[nodiscard]] LoadOutcome outcome() const { return outcome_; }
    [[nodiscard]] AddressBook& book() { return book_; }
    [[nodiscard]] const std::vector<DistributionList>& lists() const { return lists_; }
    // True when another writer saved the book or the lists since they were read.
    [[nodiscard]] bool ChangedOnDisk() const;

    [[nodiscard]] WriteResult Add(const Contact& contact);
    // before: the contact as it was shown at index.
    [[nodiscard]] WriteResult Change(int index, const Contact& before, const Contact& after);
    // Deletes the contacts shown at these indices, as one change.
    [[nodiscard]] WriteResult Remove(const std::vector<std::pair<int, Contact>>& shown);
    // Adds the contacts, merging duplicates (same name and fax number) and
    // listing them in summary; one save, so all or nothing on disk.
    [[nodiscard]] WriteResult Import(const ImportResult& read, ImportSummary& summary);
    // Replaces (or adds, or with no members removes) the list named name;
    // members are contacts shown at the indices. Contacts without an
    // identifier get one, so the list can name them.
    [[nodiscard]] WriteResult SetList(const std::string& name,
                                      const std::vector<std::pair<int, Contact>>& members);
    // The contacts of a list that are still in the book.
    [[nodiscard]] std::vector<Contact> Members(const DistributionList& list) const;

    // The lists file's content for lists, and back.
    [[nodiscard]] static std::string FormatLists(const std::vector<DistributionList>& lists);
    [[nodiscard]] static std::vector<DistributionList> ParseLists(std::string_view text);

    // CSV mappings the user confirmed, kept in the file at path by the
    // headings they were made for.
    [[nodiscard]] static bool RememberMapping(const std::string& path, const CsvMapping& mapping);
    [[nodiscard]] static bool RecallMapping(const std::string& path, CsvMapping& mapping);

  private:
    struct Stamp {
        bool exists = false;
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        [[nodiscard]] bool operator==(const Stamp& o) const;
    };
    [[nodiscard]] static Stamp StampOf(const std::string& path);
    [[nodiscard]] bool Read();
    // Where the contact shown at index before is now; -1 when gone.
    [[nodiscard]] int Locate(int index, const Contact& before, bool reloaded) const;
    [[nodiscard]] WriteResult Write(const std::function<void(WriteResult&)>& change,
                                    bool lists = false);

    std::string folder_;
    AddressBook book_;
    std::vector<DistributionList> lists_;
    LoadOutcome outcome_ = LoadOutcome::NotLoaded;
    Stamp bookStamp_, listsStamp_;
};
