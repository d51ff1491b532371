#include "addrbook/VCardFile.h"

#include <gtest/gtest.h>

#include "addrbook/AddressBook.h"
#include "support/TempFolder.h"

// Designated initializers name only the fields a case sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

std::unique_ptr<Contact> AnnLee() {
    return std::make_unique<Contact>(Contact{.cn = "Ann Lee",
                                             .sn = "Lee",
                                             .givenname = "Ann",
                                             .facsimiletelephonenumber = "12125550100",
                                             .xqrvuid = "uid-1"});
}

constexpr const char* kAnnCard =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nFN:Ann Lee\r\nTEL;TYPE=work,fax:12125550100\r\n"
    "X-QRV-UID:uid-1\r\nX-QRV-Changed:no\r\nEND:VCARD\r\n";

TEST(DeletedItems, DeletingAContactWithAnIdentifierLogsItsCard) {
    TempFolder folder;
    AddressBook book;
    book.SetFolder(folder.path());
    book.Append(AnnLee());
    // Only xqrvuid counts for the log.
    book.Append(std::make_unique<Contact>(Contact{.cn = "No Id", .xqrvtmpid = "tmp"}));
    book.Append(AnnLee());

    book.DeleteContact(5);  // invalid: nothing happens
    book.DeleteContact(-1);
    EXPECT_EQ(book.GetCount(), 3);

    book.DeleteContact(1);
    EXPECT_EQ(book.GetCount(), 2);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{}) << "no log for a contact without uid";

    book.DeleteContact(0);
    EXPECT_EQ(folder.Read("deleteditems.vcf"), kAnnCard);
    book.DeleteContact(0);
    EXPECT_EQ(folder.Read("deleteditems.vcf"), std::string(kAnnCard) + kAnnCard);
    EXPECT_EQ(book.GetCount(), 0);

    // A log that cannot be written does not stop the deletion.
    book.SetFolder(folder.path() + "missing");
    book.Append(AnnLee());
    book.DeleteContact(0);
    EXPECT_EQ(book.GetCount(), 0);
}

TEST(DeletedItems, EveryLineInOrderAndTheNoteAsStored) {
    // Every field in the order they are declared; no uid.
    const Contact c{"cn", "sn",         "gn", "mn", "pre",  "suf", "m@x.y",
                    "hp", "hf",         "bp", "bf", "cell", "pg",  "msg",
                    "el", "a\r\nb\r\n", "sc", "",   "rl",   "yes", "tid"};
    EXPECT_EQ(VCardFile::FormatCard(c),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:sn;gn;mn;pre;suf\r\nFN:cn\r\n"
              "TEL;TYPE=work,fax:bf\r\nTEL;TYPE=home,fax:hf\r\nTEL;TYPE=work,voice:bp\r\n"
              "TEL;TYPE=home,voice:hp\r\nTEL;TYPE=msg:msg\r\nTEL;TYPE=cell:cell\r\n"
              "TEL;TYPE=pager:pg\r\nEMAIL:m@x.y\r\nX-QRV-EmailList:el\r\n"
              "X-QRV-Notes:a\r\r\nb\r\r\n\r\n"
              "X-QRV-ShortCut:sc\r\nX-QRV-RecordLoc:rl\r\nX-QRV-Changed:yes\r\n"
              "X-QRV-TMPID:tid\r\nEND:VCARD\r\n");

    const Contact empty{.xqrvchanged = "", .xqrvtmpid = "t"};
    EXPECT_EQ(VCardFile::FormatCard(empty),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:;;;;\r\nX-QRV-TMPID:t\r\nEND:VCARD\r\n");
}

TEST(DeletedItems, WriterRefusesContactsWithoutIdentifiersAndClosedFiles) {
    TempFolder folder;
    VCardFile log;
    Contact c;
    c.xqrvuid = "u";
    EXPECT_FALSE(log.WriteContact(c)) << "not open";
    ASSERT_TRUE(log.Open(folder.path() + "deleteditems.vcf"));
    EXPECT_TRUE(!log.WriteContact(Contact{}) && log.WriteContact(c));
    log.Close();
    EXPECT_FALSE(log.WriteContact(c));
    EXPECT_FALSE(log.Open(folder.path() + "missing/deleteditems.vcf"));
    EXPECT_EQ(folder.Read("deleteditems.vcf"), VCardFile::FormatCard(c));
}

}  // namespace
