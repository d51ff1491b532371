#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "addrbook/Contact.h"
#include "addrbook/TextBuffer.h"

// What the last Load found.
enum class LoadOutcome {
    NotLoaded,   // Load has not run yet
    Loaded,      // at least one dn line; its records were appended
    Missing,     // no addrbook.ldif in the folder
    Unreadable,  // the path exists but cannot be read as a file
    NoRecords,   // the file holds no dn line (an empty file included)
};

// The in-memory address book: the contacts of addrbook.ldif in file order.
class AddressBook {
    struct Entry;

  public:
    using Field = std::string Contact::*;
    // Whole records read from a stretch of the file, with the text they are
    // read from; made on any thread, appended to a book with Take.
    class Part {
      public:
        Part();
        Part(Part&&) noexcept;
        Part& operator=(Part&&) noexcept;
        ~Part();
        [[nodiscard]] int size() const { return static_cast<int>(entries_.size()); }
        // The cn of record i of the part, as GetField gives it.
        [[nodiscard]] std::string Name(int i) const;

      private:
        friend class AddressBook;
        TextBuffer text_;
        std::vector<Entry> entries_;
        bool first_ = false;    // the file's first part: it carries the preamble
        std::string preamble_;  // the lines before the file's first record
    };
    // Receives each part as it is read; false stops the reading.
    using PartSink = std::function<bool(Part&&)>;
    static constexpr const char* kFileName = "addrbook.ldif";
    static constexpr const char* kDeletedFileName = "deleteditems.vcf";

    // Empty text gives an empty folder (files relative to the current
    // directory); any other path gets a trailing "/" unless it has one.
    void SetFolder(const std::string& folder);
    [[nodiscard]] const std::string& folder() const { return folder_; }
    [[nodiscard]] std::string BookPath() const { return folder_ + kFileName; }

    // Appends the records of addrbook.ldif to the list. False when the file is
    // missing or unreadable or holds no dn line; lastOutcome() tells which.
    // Lines that are not UTF-8 are read as Windows-1252.
    [[nodiscard]] bool Load();
    // Parses LDIF text (CR LF or LF line ends) and appends its records; the
    // text-level part of Load. False when the text holds no dn line.
    [[nodiscard]] bool LoadFromText(std::string_view text);
    // Reads the book file at path part by part, each part whole records
    // (the first also the lines before them), and hands each to sink as it
    // is read. Loaded: at least one record was handed over and the file read
    // to its end (or sink stopped it); any other outcome also when parts
    // came before a read failed.
    [[nodiscard]] static LoadOutcome ReadParts(const std::string& path, const PartSink& sink);
    // Appends the records of a part read by ReadParts.
    void Take(Part&& part);
    [[nodiscard]] LoadOutcome lastOutcome() const { return outcome_; }
    // Attribute and note lines of the last load that came before the first
    // dn line and so belonged to no record; they are dropped.
    [[nodiscard]] int droppedLines() const { return dropped_; }

    // Replaces addrbook.ldif with the list (contacts without cn are left
    // out). The old file stays untouched when the new one cannot be written.
    // Records read from a file and unchanged since are written back byte for
    // byte; changed and new ones in the fixed layout, keeping the lines of
    // attributes the book does not know. Lines before the first record stay.
    [[nodiscard]] bool Save() const;
    // The file content Save writes.
    [[nodiscard]] std::string Format() const;

    [[nodiscard]] std::int32_t GetCount();
    // Contacts in the list.
    [[nodiscard]] int size() const { return static_cast<int>(entries_.size()); }
    // Field numbers: 0 cn, 1 mail, 2 homephone, 3 xqrvhomefax,
    // 4 telephonenumber, 5 facsimiletelephonenumber, 6 cellphone,
    // 7 pagerphone, 8 and 9 sn, 10 xqrvnote. Bad index or number: empty.
    [[nodiscard]] std::string GetField(int index, int field) const;
    // First contact whose xqrvuid, else xqrvtmpid, equals id ignoring case.
    [[nodiscard]] Contact* FindById(const std::string& id) const;
    // The index of that contact; -1 for none.
    [[nodiscard]] int IndexOfId(const std::string& id) const;
    // Logs the contact to deleteditems.vcf when it has an xqrvuid, then
    // removes it. An invalid index does nothing.
    void DeleteContact(int index);
    bool Clear();

    // Takes ownership; the contact goes to the end of the list.
    void Append(std::unique_ptr<Contact> contact);
    // Overwrites the contact at index; an invalid index does nothing.
    void Replace(int index, const Contact& contact);
    // The field an attribute name (any case) stands for; nullptr for none.
    [[nodiscard]] static Field AttributeField(std::string_view name);
    // The contact at index, made from its lines at the first call; nullptr
    // for an invalid index. The pointer stays valid until the contact is
    // deleted or the list cleared.
    [[nodiscard]] Contact* At(int index) const;

  private:
    friend class Part;
    // One record: its lines in a loaded text (the dn line first), and the
    // contact made from them when first asked for. Appended contacts have no
    // lines. A large book thus costs little more than its text until rows
    // are used.
    struct Entry {
        std::string_view lines;
        mutable std::unique_ptr<Contact> contact;
    };

    // The field's value without making the contact.
    // The records of text; hasRecords false when it holds no dn line.
    [[nodiscard]] static Part MakePart(TextBuffer text, bool first, bool& hasRecords);
    [[nodiscard]] static std::string FieldOf(const Entry& entry, Field field);

    std::vector<TextBuffer> texts_;  // every loaded text, where entries point
    // A deque: appending a part never moves the records already there, so
    // taking a part costs the part alone however large the book has grown.
    std::deque<Entry> entries_;
    std::int32_t count_ = 0;
    std::string folder_;
    std::string preamble_;  // the first text's lines before its first record
    LoadOutcome outcome_ = LoadOutcome::NotLoaded;
    int dropped_ = 0;
};
