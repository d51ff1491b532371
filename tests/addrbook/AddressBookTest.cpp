#include "addrbook/AddressBook.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempFolder.h"

namespace {

class Book : public ::testing::Test {
  protected:
    // Loads text as addrbook.ldif from the temporary folder.
    bool LoadText(const std::string& text) {
        folder.Write("addrbook.ldif", text);
        book.SetFolder(folder.path());
        return book.Load();
    }

    TempFolder folder;
    AddressBook book;
};

TEST_F(Book, RecordsLoadInFileOrderWithTheirFields) {
    ASSERT_TRUE(LoadText(
        "dn: cn=Ann Lee,mail=\r\ncn: Ann Lee\r\nfacsimiletelephonenumber: 1 212 555 0100\r\n"
        "\r\ndn: cn=Bob,mail=\r\ncn: Bob\r\n"));
    EXPECT_EQ(book.lastOutcome(), LoadOutcome::Loaded);
    ASSERT_EQ(book.GetCount(), 2);
    EXPECT_EQ(book.GetField(0, 0), "Ann Lee");
    EXPECT_EQ(book.GetField(0, 5), "1 212 555 0100");
    EXPECT_EQ(book.GetField(1, 0), "Bob");
    EXPECT_EQ(book.GetField(1, 1), "");
    EXPECT_EQ(book.At(1)->xqrvchanged, "no");
}

TEST_F(Book, WindowsCodePageBooksReadAsWindows1252AndUtf8AsItIs) {
    const struct {
        std::string cn;  // as in the file
        std::string read;
    } cases[] = {
        {"M\xfcller \x80 \x9d", "M\xc3\xbcller \xe2\x82\xac \xc2\x9d"},  // code page
        {"M\xc3\xbcller \xe2\x82\xac", "M\xc3\xbcller \xe2\x82\xac"},    // UTF-8
        {"Plain", "Plain"},
    };
    for (const auto& c : cases) {
        const std::string text = "dn: cn=x\r\ncn: " + c.cn + "\r\n";
        AddressBook fresh;
        folder.Write("addrbook.ldif", text);
        fresh.SetFolder(folder.path());
        ASSERT_TRUE(fresh.Load());
        EXPECT_EQ(fresh.GetField(0, 0), c.read);
        EXPECT_EQ(folder.Read("addrbook.ldif"), text);  // never rewritten
    }
}

TEST_F(Book, FieldNumbersAndOutOfRangeRequests) {
    auto c = std::make_unique<Contact>();
    c->cn = "cn";
    c->mail = "mail";
    c->homephone = "hp";
    c->xqrvhomefax = "hf";
    c->telephonenumber = "bp";
    c->facsimiletelephonenumber = "bf";
    c->cellphone = "cell";
    c->pagerphone = "pager";
    c->sn = "sn";
    c->xqrvnote = "note\r\n";
    c->givenname = "not numbered";
    book.Append(std::move(c));
    const char* expected[] = {"cn",   "mail",  "hp", "hf", "bp",      "bf",
                              "cell", "pager", "sn", "sn", "note\r\n"};
    for (int f = 0; f <= 10; ++f) EXPECT_EQ(book.GetField(0, f), expected[f]) << f;
    EXPECT_EQ(book.GetField(0, 11), "");
    EXPECT_EQ(book.GetField(0, -1), "");
    EXPECT_EQ(book.GetField(-1, 0), "");
    EXPECT_EQ(book.GetField(book.GetCount(), 0), "");
}

TEST_F(Book, AttributeValuesAreTrimmedOnTheLeftAndCutAtATab) {
    ASSERT_TRUE(
        LoadText("DN: x\n"
                 "CN:   Ann Lee  \n"
                 "mail: ann@example.com\n"
                 "mail:\n"                // nothing after the colon: unchanged
                 "sn:\t\t\n"              // only TABs: unchanged
                 "sn Lee\tsecond part\n"  // a blank also ends the name
                 "givenname:\t Ann\n"
                 "xqrvuid:    \n"  // blanks only: the field becomes empty
                 "unknownattribute: ignored\n"));
    ASSERT_EQ(book.GetCount(), 1);
    const Contact& c = *book.At(0);
    EXPECT_EQ(c.cn, "Ann Lee  ");
    EXPECT_EQ(c.mail, "ann@example.com");
    EXPECT_EQ(c.sn, "Lee");
    EXPECT_EQ(c.givenname, "Ann");
    EXPECT_EQ(c.xqrvuid, "");
}

TEST_F(Book, NotesRunOverLinesUntilAKnownAttribute) {
    ASSERT_TRUE(
        LoadText("dn: a\r\n"
                 "xqrvnote:  first \r\n"
                 "second\r\n"
                 "\r\n"
                 "third  \r\n"
                 "mail: a@b.c\r\n"
                 "stray line after the note\r\n"
                 "dn: b\r\n"
                 "xqrvnote: old\r\n"
                 "more\r\n"
                 "xqrvnote: restarted\r\n"));
    ASSERT_EQ(book.GetCount(), 2);
    // The blank line only adds a line end that the next line trims away.
    EXPECT_EQ(book.At(0)->xqrvnote, "first\r\nsecond\r\nthird\r\n");
    EXPECT_EQ(book.At(0)->mail, "a@b.c");
    EXPECT_EQ(book.At(1)->xqrvnote, "restarted\r\n");
}

TEST_F(Book, LfAloneReadsLikeCrLf) {
    const std::string crlf = "dn: a\r\ncn: Ann\r\nxqrvnote: one\r\ntwo\r\n";
    std::string lf = crlf;
    for (std::size_t p; (p = lf.find('\r')) != std::string::npos;) lf.erase(p, 1);
    ASSERT_TRUE(LoadText(crlf));
    AddressBook other;
    ASSERT_TRUE(other.LoadFromText(lf));
    EXPECT_EQ(other.At(0)->cn, book.At(0)->cn);
    EXPECT_EQ(other.At(0)->xqrvnote, book.At(0)->xqrvnote);
}

TEST_F(Book, MissingEmptyAndRecordlessBooksLoadNothingAndSayWhy) {
    book.SetFolder(folder.path());
    EXPECT_FALSE(book.Load());
    EXPECT_EQ(book.lastOutcome(), LoadOutcome::Missing);

    EXPECT_FALSE(LoadText(""));
    EXPECT_EQ(book.lastOutcome(), LoadOutcome::NoRecords);

    EXPECT_FALSE(LoadText("cn: Ann\nmail: ann@example.com\n"));
    EXPECT_EQ(book.lastOutcome(), LoadOutcome::NoRecords);
    EXPECT_EQ(book.GetCount(), 0);

    // A folder in place of the file.
    TempFolder other;
    ASSERT_EQ(::mkdir((other.path() + "addrbook.ldif").c_str(), 0700), 0);
    AddressBook dirBook;
    dirBook.SetFolder(other.path());
    EXPECT_FALSE(dirBook.Load());
    EXPECT_EQ(dirBook.lastOutcome(), LoadOutcome::Unreadable);

    AddressBook nowhere;
    nowhere.SetFolder(folder.path() + "no/such/folder");
    EXPECT_FALSE(nowhere.Load());
    EXPECT_EQ(nowhere.lastOutcome(), LoadOutcome::Missing);
}

TEST_F(Book, MalformedContentLoadsWhatCanBeRead) {
    std::string text = "cn: before any record\nxqrvnote: orphan\ncontinued orphan\n";
    text += ":::   \n";                           // no token at all
    text += std::string(5000, 'x') + ": long\n";  // a very long unknown name
    text += "dn: one\ncn: " + std::string(3000, 'n') + "\n";
    text += std::string("cn: embedded\0zero", 17) + "\n";
    text += "dn:\xff\xfe\ncn: \xc3\xa9l\xc3\xa8ve\n";
    text += "dn: unterminated\ncn: last";  // no final line end
    ASSERT_TRUE(LoadText(text));
    // Everything before the first dn: the orphan note swallows the two odd lines.
    EXPECT_EQ(book.droppedLines(), 5);
    ASSERT_EQ(book.GetCount(), 3);
    EXPECT_EQ(book.At(0)->cn, std::string("embedded\0zero", 13));
    EXPECT_EQ(book.At(1)->cn, "\xc3\xa9l\xc3\xa8ve");
    EXPECT_EQ(book.At(2)->cn, "last");
}

TEST_F(Book, LoadAppendsToWhatTheBookHolds) {
    ASSERT_TRUE(LoadText("dn: a\ncn: A\n"));
    ASSERT_TRUE(book.Load());
    EXPECT_EQ(book.GetCount(), 2);
    EXPECT_TRUE(book.Clear());
    EXPECT_EQ(book.GetCount(), 0);
}

TEST_F(Book, FindByIdIgnoresCaseAndTakesTheFirstMatch) {
    ASSERT_TRUE(
        LoadText("dn: 1\ncn: One\nxqrvtmpid: abc\n"
                 "dn: 2\ncn: Two\nxqrvuid: abc\n"
                 "dn: 3\ncn: Three\nxqrvuid: \xc3\xa9t\xc3\xa9\n"));
    ASSERT_NE(book.FindById("ABC"), nullptr);
    EXPECT_EQ(book.FindById("ABC")->cn, "One");
    EXPECT_EQ(book.FindById("\xc3\xa9T\xc3\xa9")->cn, "Three");
    EXPECT_EQ(book.FindById(""), nullptr);
    EXPECT_EQ(book.FindById("ab"), nullptr);
    // Contacts without any identifier are not found by an empty one either.
    EXPECT_EQ(book.FindById("One"), nullptr);
}

TEST(BookFolder, TrailingSlashIsAddedOnce) {
    AddressBook book;
    EXPECT_EQ(book.BookPath(), "addrbook.ldif");
    book.SetFolder("/opt/corvinaport");
    EXPECT_EQ(book.BookPath(), "/opt/corvinaport/addrbook.ldif");
    book.SetFolder("/opt/corvinaport/");
    EXPECT_EQ(book.BookPath(), "/opt/corvinaport/addrbook.ldif");
    book.SetFolder("");
    EXPECT_EQ(book.folder(), "");
}

TEST_F(Book, SaveWritesTheFixedLayoutWithCrLf) {
    auto full = std::make_unique<Contact>();
    full->cn = "Ann Lee";
    full->sn = "Lee";
    full->givenname = "Ann";
    full->xqrvmiddlename = "M";
    full->xqrvnameprefix = "Dr";
    full->xqrvnamesuffix = "Jr";
    full->mail = "ann@example.com";
    full->homephone = "1";
    full->xqrvhomefax = "2";
    full->telephonenumber = "3";
    full->facsimiletelephonenumber = "4";
    full->cellphone = "5";
    full->pagerphone = "6";
    full->xqrvmsg = "7";
    full->xqrvemaillist = "list";
    full->xqrvnote = "one\r\ntwo\r\n";
    full->xqrvshortcut = "al";
    full->xqrvuid = "u1";
    full->xqrvrecordloc = "r1";
    full->xqrvtmpid = "t1";
    book.Append(std::move(full));
    auto nameless = std::make_unique<Contact>();
    nameless->mail = "lost@example.com";
    book.Append(std::move(nameless));
    auto bare = std::make_unique<Contact>();
    bare->cn = "Bob";
    bare->xqrvchanged.clear();
    book.Append(std::move(bare));

    book.SetFolder(folder.path());
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(folder.Read("addrbook.ldif"),
              "dn: cn=Ann Lee,mail=ann@example.com\r\n"
              "cn: Ann Lee\r\n"
              "mail: ann@example.com\r\n"
              "telephonenumber: 3\r\n"
              "homephone: 1\r\n"
              "facsimiletelephonenumber: 4\r\n"
              "cellphone: 5\r\n"
              "pagerphone: 6\r\n"
              "xqrvhomefax: 2\r\n"
              "xqrvuid: u1\r\n"
              "xqrvshortcut: al\r\n"
              "xqrvrecordloc: r1\r\n"
              "xqrvmsg: 7\r\n"
              "givenname: Ann\r\n"
              "xqrvmiddlename: M\r\n"
              "sn: Lee\r\n"
              "xqrvnameprefix: Dr\r\n"
              "xqrvnamesuffix: Jr\r\n"
              "xqrvtmpid: t1\r\n"
              "xqrvemaillist: list\r\n"
              "xqrvchanged: no\r\n"
              "xqrvnote: one\r\r\ntwo\r\r\n\r\n"
              "\r\n"
              "dn: cn=Bob,mail=\r\n"
              "cn: Bob\r\n"
              "\r\n");

    // Read back: the same contacts with the same fields, the note included.
    AddressBook again;
    again.SetFolder(folder.path());
    ASSERT_TRUE(again.Load());
    ASSERT_EQ(again.GetCount(), 2);
    const Contact& a = *again.At(0);
    const Contact& b = *book.At(0);
    for (auto f : {&Contact::cn,
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
                   &Contact::xqrvchanged,
                   &Contact::xqrvtmpid}) {
        EXPECT_EQ(a.*f, b.*f);
    }
    EXPECT_EQ(again.At(1)->cn, "Bob");
}

TEST_F(Book, SaveReplacesTheFileWholeOrNotAtAll) {
    folder.Write("addrbook.ldif", "dn: old\ncn: Old\n");
    auto c = std::make_unique<Contact>();
    c->cn = "New";
    book.Append(std::move(c));
    book.SetFolder(folder.path());
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(folder.Read("addrbook.ldif"),
              "dn: cn=New,mail=\r\ncn: New\r\nxqrvchanged: no\r\n\r\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"addrbook.ldif"}) << "no temporary left";

    // A folder that cannot be written: Save fails, the old file stays.
    ASSERT_EQ(::chmod(folder.path().c_str(), 0500), 0);
    const bool saved = book.Save();
    ::chmod(folder.path().c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_FALSE(saved);
        EXPECT_EQ(folder.Read("addrbook.ldif"),
                  "dn: cn=New,mail=\r\ncn: New\r\nxqrvchanged: no\r\n\r\n");
    }

    AddressBook nowhere;
    nowhere.SetFolder(folder.path() + "missing");
    EXPECT_FALSE(nowhere.Save());
}

}  // namespace
