#include "addrbook/contacts/ContactImport.h"

#include <gtest/gtest.h>

#include <QByteArrayView>

#include <fstream>
#include <iterator>
#include <random>

#include "addrbook/AddressBook.h"
#include "support/TempFolder.h"

namespace {

std::string Data(const std::string& name) {
    std::ifstream in(CONTACTS_TEST_DATA + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ImportResult ReadAny(const std::string& name, const std::string& text) {
    switch (ContactImport::Detect(text, name)) {
        case ContactImport::Format::VCard:
            return ContactImport::ReadVCards(text);
        case ContactImport::Format::Ldif:
            return ContactImport::ReadLdif(text);
        case ContactImport::Format::Csv:
            return ContactImport::ReadCsv(text, ContactImport::GuessCsvMapping(text));
        default:
            return {};
    }
}

using F = AddressBook::Field;

// Exports of desktop and web address books give the contacts their users see.
TEST(ContactImport, ExportsOfOtherAddressBooksGiveTheirContacts) {
    struct Case {
        struct {
            const char* file;
            std::size_t count;
            int index;
        } at;  // the file, its contacts, the one checked
        std::vector<std::pair<F, std::string>> fields;
    };
    const Case cases[] = {
        {{"desktop21.vcf", 1, 0},
         {{&Contact::cn, "Dr. J\xc3\xbcrgen M\xc3\xbcller"},
          {&Contact::sn, "M\xc3\xbcller"},
          {&Contact::xqrvnameprefix, "Dr."},
          {&Contact::facsimiletelephonenumber, "+49 30 1234569"},
          {&Contact::xqrvhomefax, "+49 30 7654321"},
          {&Contact::telephonenumber, "+49 30 1234560"},
          {&Contact::cellphone, "+49 170 1234567"},
          {&Contact::xqrvnote,
           "Gr\xc3\xbc\xc3\x9f\x65 an Anna.\r\nFax nur vormittags, bitte nicht sp\xc3\xa4t.\r\n"}}},
        {{"desktop30.vcf", 2, 0},
         {{&Contact::cn, "Ann Lee"},
          {&Contact::xqrvmiddlename, "Marie"},
          {&Contact::facsimiletelephonenumber, "+1 (212) 555-0100"},
          {&Contact::homephone, "+1 212 555 0101"},
          {&Contact::mail, "ann@example.com"},
          {&Contact::xqrvnote,
           "Meetings on Tuesdays; call first, please.\r\nSecond line of a long note that the "
           "exporter folded.\r\n"}}},
        {{"desktop30.vcf", 2, 1}, {{&Contact::cn, "Acme Supplies"}}},
        {{"web40.vcf", 1, 0},
         {{&Contact::cn, "Zo\xc3\xab Quinn"},
          {&Contact::facsimiletelephonenumber, "+44-20-7946-0000"},
          {&Contact::cellphone, "+44-7700-900123"},
          {&Contact::xqrvuid, "urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1"}}},
        {{"webmail.csv", 2, 0},
         {{&Contact::cn, "Ann Lee"},
          {&Contact::facsimiletelephonenumber, "+1 212 555 0100"},
          {&Contact::cellphone, "+1 917 555 0102"},
          {&Contact::mail, "ann@example.com"},
          {&Contact::xqrvnote, "Call first, please.\r\nTuesdays only.\r\n"}}},
        {{"webmail.csv", 2, 1},
         {{&Contact::xqrvhomefax, "555 0300"}, {&Contact::telephonenumber, "555 0301"}}},
        {{"desktopmail.csv", 1, 0},
         {{&Contact::cn, "Dr. J\xc3\xbcrgen M\xc3\xbcller"},
          {&Contact::facsimiletelephonenumber, "+49 30 1234569"},
          {&Contact::mail, "juergen.mueller@example.de"}}},
        {{"mailclient.ldif", 2, 0},
         {{&Contact::cn, "Ann Lee"},
          {&Contact::cellphone, "+1 917 555 0102"},
          {&Contact::xqrvnote, "Meetings on Tuesdays.\r\nPlease call first.\r\n"}}},
        {{"mailclient.ldif", 2, 1},
         {{&Contact::cn, "J\xc3\xbcrgen M\xc3\xbcller"}, {&Contact::homephone, "+49 30 7654321"}}},
    };
    for (const Case& c : cases) {
        const ImportResult r = ReadAny(c.at.file, Data(c.at.file));
        ASSERT_EQ(r.contacts.size(), c.at.count) << c.at.file;
        for (const auto& [field, value] : c.fields)
            EXPECT_EQ(r.contacts[c.at.index].*field, value) << c.at.file << " " << c.at.index;
    }
    // The rows and records that are no contacts are listed by line.
    EXPECT_EQ(ReadAny("desktopmail.csv", Data("desktopmail.csv")).skipped[0].line, 3);
    EXPECT_EQ(ReadAny("mailclient.ldif", Data("mailclient.ldif")).skipped[0].line, 27);
}

// Broken cards are skipped and listed by their first line; the others come in.
TEST(ContactImport, HostileCardsAreSkippedByLine) {
    const std::string text =
        "junk before\r\n"                                           // 1
        "BEGIN:VCARD\r\nFN:Good One\r\nEND:VCARD\r\n"               // 2-4
        "BEGIN:VCARD\r\nFN:No colon\r\nthis line\r\nEND:VCARD\r\n"  // 5-8
        "BEGIN:VCARD\r\nTEL:1\r\nEND:VCARD\r\n"                     // 9-11
        "END:VCARD\r\n"                                             // 12
        "BEGIN:VCARD\r\nFN:Nested\r\n"                              // 13-14
        "BEGIN:VCARD\r\nFN:dn: evil\\nmail: x\r\nNOTE:ok\\ndn: cn=x\\n\\n\tmail: m\r\n"
        "TEL;TYPE=fax:=0D=0A\t12\r\nEND:VCARD\r\n"  // 15-19
        "BEGIN:VCARD\r\nFN:Open\r\n";               // 20-21
    const ImportResult r = ContactImport::ReadVCards(text);
    std::vector<std::pair<int, std::string>> skipped;
    for (const SkippedItem& s : r.skipped) skipped.emplace_back(s.line, s.reason);
    const std::vector<std::pair<int, std::string>> expected = {
        {1, "not in a card"}, {5, "line 7 has no colon"},
        {9, "no name"},       {12, "END:VCARD without BEGIN:VCARD"},
        {13, "no END:VCARD"}, {20, "no END:VCARD"}};
    EXPECT_EQ(skipped, expected);
    ASSERT_EQ(r.contacts.size(), 2u);
    EXPECT_EQ(r.contacts[0].cn, "Good One");
    // Values that would break the book's lines are made harmless.
    EXPECT_EQ(r.contacts[1].cn, "dn: evil mail: x");
    EXPECT_EQ(r.contacts[1].xqrvnote, "ok\r\n> dn: cn=x\r\n>  mail: m\r\n");
    EXPECT_EQ(r.contacts[1].facsimiletelephonenumber, "=0D=0A 12");
}

Contact Full(int i) {
    Contact c;
    const std::string n = std::to_string(i);
    c.cn = "Lee, Ann; \xc3\xa9" + n + std::string(80, 'x');
    c.sn = "Lee;" + n;
    c.givenname = "Ann\\" + n;
    c.xqrvmiddlename = "M";
    c.xqrvnameprefix = "Dr";
    c.xqrvnamesuffix = "Jr";
    c.mail = "ann" + n + "@example.com";
    c.homephone = "1";
    c.xqrvhomefax = "2";
    c.telephonenumber = "3";
    c.facsimiletelephonenumber = "+1 212 555 " + n;
    c.cellphone = "5";
    c.pagerphone = "6";
    c.xqrvmsg = "7";
    c.xqrvemaillist = "list";
    c.xqrvnote = "one, two; three\r\n  indented \\ four\r\n";
    c.xqrvshortcut = "al";
    c.xqrvuid = "{U-" + n + "}";
    c.xqrvrecordloc = "r";
    c.xqrvchanged = "yes";
    c.xqrvtmpid = "t";
    return c;
}

// Exported contacts read back the same, and survive the book's save and load.
TEST(ContactImport, ExportReadBackGivesTheSameContacts) {
    std::vector<Contact> contacts = {Full(1), Full(22), Contact()};
    contacts[2].cn = "Bare";
    // A two-byte character at every offset around the first and second fold.
    for (std::size_t before = 66; before <= 150; ++before)
        contacts.emplace_back().cn = std::string(before, 'a') + "\xc3\xa9" + "z";
    const std::string text = ContactImport::WriteVCards(contacts);
    for (std::size_t pos = 0, end; (end = text.find("\r\n", pos)) != std::string::npos;
         pos = end + 2) {
        EXPECT_LE(end - pos, 75u) << "folded";
        EXPECT_TRUE(
            QByteArrayView(text.data() + pos, static_cast<qsizetype>(end - pos)).isValidUtf8())
            << "a line ends inside a character: " << text.substr(pos, end - pos);
    }
    const ImportResult back = ContactImport::ReadVCards(text);
    EXPECT_TRUE(back.skipped.empty());
    EXPECT_EQ(back.contacts, contacts);
}

// Randomly damaged exports never crash a reader; what is read survives save and load.
TEST(ContactImport, DamagedFilesGiveContactsTheBookKeeps) {
    const char* files[] = {"desktop21.vcf", "desktop30.vcf",   "web40.vcf",
                           "webmail.csv",   "desktopmail.csv", "mailclient.ldif"};
    const char pieces[] = {'\r', '\n', ':', ';', ',', '"', '=', '\\', ' ', '\t', '\0', '\xff'};
    std::mt19937 random(20261207);
    for (int round = 0; round < 10000; ++round) {
        const std::string name = files[round % std::size(files)];
        std::string text = Data(name);
        for (int damage = 0; damage < 1 + round % 8; ++damage) {
            const std::size_t at = random() % (text.size() + 1);
            switch (random() % 3) {
                case 0:
                    text.insert(at, 1, pieces[random() % std::size(pieces)]);
                    break;
                case 1:
                    text.erase(at, random() % 12);
                    break;
                default:
                    text.insert(at, text.substr(random() % text.size(), random() % 40));
            }
        }
        const ImportResult r = ReadAny(name, text);
        AddressBook book;
        for (const Contact& c : r.contacts) {
            ASSERT_FALSE(c.cn.empty()) << round;
            book.Append(std::make_unique<Contact>(c));
        }
        if (r.contacts.empty()) continue;
        AddressBook again;  // what Save writes, read back
        ASSERT_TRUE(again.LoadFromText(book.Format())) << round;
        ASSERT_EQ(again.GetCount(), static_cast<int>(r.contacts.size())) << round;
        for (int i = 0; i < again.GetCount(); ++i) ASSERT_EQ(*again.At(i), r.contacts[i]) << round;
    }
}

}  // namespace
