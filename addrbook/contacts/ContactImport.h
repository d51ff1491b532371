#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "addrbook/Contact.h"

// A card, row or record an import left out, by the line it starts on.
struct SkippedItem {
    int line = 0;
    std::string reason;  // C locale text: "no END:VCARD", "no name", ...
};

// What a file gave: the contacts in file order and what was left out.
struct ImportResult {
    std::vector<Contact> contacts;
    std::vector<int> lines;  // the line each contact starts on
    std::vector<SkippedItem> skipped;
};

// Which field each column of a CSV file goes to, by the column's heading.
// A heading of the form "Phone 1 - Value" next to "Phone 1 - Type" is a phone
// whose kind the type column tells ("Work Fax", "Home Fax", "Mobile", ...).
struct CsvMapping {
    static constexpr const char* kIgnore = "";
    static constexpr const char* kTypedPhone = "*typed-phone";
    std::vector<std::string> headings;
    std::vector<std::string> fields;   // attribute name, kIgnore or kTypedPhone
    std::vector<std::string> example;  // the first row's cells, to show
    // One line that names the headings, to remember a mapping by.
    [[nodiscard]] std::string Signature() const;
};

// Readers of the address-book exports users bring (vCard 2.1, 3.0 and 4.0,
// CSV of the web-mail and desktop address books, LDIF of desktop mail
// clients), and the vCard 4.0 writer. Text that is not UTF-8 is read in the
// charset a card names, else as Windows-1252.
class ContactImport {
  public:
    enum class Format { VCard, Csv, Ldif, Unknown };

    // By the content first, then by the file name's extension.
    [[nodiscard]] static Format Detect(std::string_view text, const std::string& fileName);

    [[nodiscard]] static ImportResult ReadVCards(std::string_view text);
    [[nodiscard]] static ImportResult ReadLdif(std::string_view text);
    // The headings and the mapping guessed from them; rows are not read.
    [[nodiscard]] static CsvMapping GuessCsvMapping(std::string_view text);
    [[nodiscard]] static ImportResult ReadCsv(std::string_view text, const CsvMapping& mapping);

    // The contacts as vCard 4.0 cards, CR LF line ends, folded at 75 bytes.
    [[nodiscard]] static std::string WriteVCards(const std::vector<Contact>& contacts);

    // A note as the book keeps it: every line ends with CR LF, empty lines
    // go (they would not survive reading), and a line that begins like an
    // attribute is marked with "> " (it would end the note).
    [[nodiscard]] static std::string BookNote(std::string_view text);

    // The attribute names a CSV column may be mapped to, in the order the
    // mapping offers them.
    [[nodiscard]] static const std::vector<std::string>& MappableFields();
};
