#include "addrbook/VCardFile.h"

#include <gtest/gtest.h>

#include "addrbook/AddressBook.h"
#include "support/TempFolder.h"

namespace {

std::unique_ptr<Contact> AnnLee() {
    auto c = std::make_unique<Contact>();
    c->cn = "Ann Lee";
    c->sn = "Lee";
    c->givenname = "Ann";
    c->facsimiletelephonenumber = "12125550100";
    c->xqrvuid = "uid-1";
    return c;
}

constexpr const char* kAnnCard =
    "BEGIN:VCARD\r\n"
    "VERSION:3.0\r\n"
    "N:Lee;Ann;;;\r\n"
    "FN:Ann Lee\r\n"
    "TEL;TYPE=work,fax:12125550100\r\n"
    "X-QRV-UID:uid-1\r\n"
    "X-QRV-Changed:no\r\n"
    "END:VCARD\r\n";

TEST(DeletedItems, DeletingAContactWithAnIdentifierLogsItsCard) {
    TempFolder folder;
    AddressBook book;
    book.SetFolder(folder.path());
    book.Append(AnnLee());
    auto noId = std::make_unique<Contact>();
    noId->cn = "No Id";
    noId->xqrvtmpid = "tmp";  // only xqrvuid counts for the log
    book.Append(std::move(noId));
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
    Contact c;
    c.cn = "cn";
    c.sn = "sn";
    c.givenname = "gn";
    c.xqrvmiddlename = "mn";
    c.xqrvnameprefix = "pre";
    c.xqrvnamesuffix = "suf";
    c.mail = "m@x.y";
    c.homephone = "hp";
    c.xqrvhomefax = "hf";
    c.telephonenumber = "bp";
    c.facsimiletelephonenumber = "bf";
    c.cellphone = "cell";
    c.pagerphone = "pg";
    c.xqrvmsg = "msg";
    c.xqrvemaillist = "el";
    c.xqrvnote = "a\r\nb\r\n";
    c.xqrvshortcut = "sc";
    c.xqrvrecordloc = "rl";
    c.xqrvchanged = "yes";
    c.xqrvtmpid = "tid";
    EXPECT_EQ(VCardFile::FormatCard(c),
              "BEGIN:VCARD\r\nVERSION:3.0\r\nN:sn;gn;mn;pre;suf\r\nFN:cn\r\n"
              "TEL;TYPE=work,fax:bf\r\nTEL;TYPE=home,fax:hf\r\nTEL;TYPE=work,voice:bp\r\n"
              "TEL;TYPE=home,voice:hp\r\nTEL;TYPE=msg:msg\r\nTEL;TYPE=cell:cell\r\n"
              "TEL;TYPE=pager:pg\r\nEMAIL:m@x.y\r\nX-QRV-EmailList:el\r\n"
              "X-QRV-Notes:a\r\r\nb\r\r\n\r\n"
              "X-QRV-ShortCut:sc\r\nX-QRV-RecordLoc:rl\r\nX-QRV-Changed:yes\r\n"
              "X-QRV-TMPID:tid\r\nEND:VCARD\r\n");

    Contact empty;
    empty.xqrvchanged.clear();
    empty.xqrvtmpid = "t";
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
    EXPECT_FALSE(log.WriteContact(Contact{}));
    EXPECT_TRUE(log.WriteContact(c));
    log.Close();
    EXPECT_FALSE(log.WriteContact(c));
    EXPECT_FALSE(log.Open(folder.path() + "missing/deleteditems.vcf"));
    EXPECT_EQ(folder.Read("deleteditems.vcf"), VCardFile::FormatCard(c));
}

}  // namespace
