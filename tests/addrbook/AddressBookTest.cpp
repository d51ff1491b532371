#include "addrbook/AddressBook.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <random>
#include <sstream>

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

TEST_F(Book, FieldsAreReadByTheFileRules) {
    struct Case {
        const char* what;
        std::string text;
        int count, record;
        std::string Contact::*field;
        std::string value;
    };
    const Case cases[] = {
        {"file order", "dn: a\r\ncn: Ann\r\n\r\ndn: b\r\ncn: Bob\r\n", 2, 1, &Contact::cn, "Bob"},
        {"left trim only", "DN: x\nCN:   Ann Lee  \n", 1, 0, &Contact::cn, "Ann Lee  "},
        {"empty value keeps", "dn: x\nmail: a@b\nmail:\n", 1, 0, &Contact::mail, "a@b"},
        {"tab or blank ends the name", "dn: x\nsn Lee\tsecond\n", 1, 0, &Contact::sn, "Lee"},
        {"blanks only empty", "dn: x\nxqrvuid: u\nxqrvuid:    \n", 1, 0, &Contact::xqrvuid, ""},
        {"note over lines", "dn: a\r\nxqrvnote:  first \r\nsecond\r\n\r\nthird  \r\nmail: m\r\n", 1,
         0, &Contact::xqrvnote, "first\r\nsecond\r\nthird\r\n"},
        {"note ends at a known name", "dn: a\nxqrvnote: n\nmail: m\n", 1, 0, &Contact::mail, "m"},
        {"note restarts", "dn: a\nxqrvnote: old\nmore\nxqrvnote: new\n", 1, 0, &Contact::xqrvnote,
         "new\r\n"},
        {"LF alone as CR LF", "dn: a\nxqrvnote: one\ntwo\n", 1, 0, &Contact::xqrvnote,
         "one\r\ntwo\r\n"},
        {"no final line end", "dn: a\ncn: last", 1, 0, &Contact::cn, "last"},
        {"embedded zero", std::string("dn: a\ncn: x\0y\n", 14), 1, 0, &Contact::cn,
         std::string("x\0y", 3)},
        {"lines before any record and odd names dropped",
         "cn: orphan\n:::  \n" + std::string(5000, 'x') + ": long\ndn: a\ncn: A\n", 1, 0,
         &Contact::cn, "A"},
    };
    for (const Case& c : cases) {
        AddressBook fresh;
        ASSERT_TRUE(fresh.LoadFromText(c.text)) << c.what;
        ASSERT_EQ(fresh.GetCount(), c.count) << c.what;
        // Fields read before the record is made agree with the made record.
        std::vector<std::string> peeked;
        for (int f = 0; f <= 10; ++f) peeked.push_back(fresh.GetField(c.record, f));
        EXPECT_EQ(fresh.At(c.record)->*c.field, c.value) << c.what;
        for (int f = 0; f <= 10; ++f) EXPECT_EQ(fresh.GetField(c.record, f), peeked[f]) << c.what;
    }
}

TEST_F(Book, WindowsCodePageBooksReadAsWindows1252AndUtf8AsItIs) {
    const std::pair<std::string, std::string> cases[] = {
        {"M\xfcller \x80 \x9d", "M\xc3\xbcller \xe2\x82\xac \xc2\x9d"},  // code page
        {"M\xc3\xbcller \xe2\x82\xac", "M\xc3\xbcller \xe2\x82\xac"},    // UTF-8
    };
    for (const auto& [cn, read] : cases) {
        const std::string text = "dn: cn=x\r\ncn: " + cn + "\r\n";
        book.Clear();
        ASSERT_TRUE(LoadText(text));
        EXPECT_EQ(book.GetField(0, 0), read);
        EXPECT_EQ(folder.Read("addrbook.ldif"), text);  // never rewritten
    }
    // Eight bytes a step: a code-page byte at every offset, alone or as a bare lead byte.
    for (std::size_t before = 0; before <= 24; ++before) {
        for (const char* tail : {"b", ""}) {
            const std::string pad(before, 'a');
            const std::string text =
                "dn: cn=x\r\ncn: " + pad + "\xfc" + tail + "\r\nmail: abcdefghijklmnopq\r\n";
            book.Clear();
            ASSERT_TRUE(LoadText(text));
            EXPECT_EQ(book.GetField(0, 0), pad + "\xc3\xbc" + tail) << before;
        }
    }
}

TEST_F(Book, FieldNumbersAndOutOfRangeRequests) {
    ASSERT_TRUE(book.LoadFromText(
        "dn: a\ncn: cn\nmail: mail\nhomephone: hp\nxqrvhomefax: hf\ntelephonenumber: bp\n"
        "facsimiletelephonenumber: bf\ncellphone: cell\npagerphone: pager\nsn: sn\n"
        "givenname: unnumbered\nxqrvnote: note\n"));
    const char* expected[] = {"cn",   "mail",  "hp", "hf", "bp",      "bf",
                              "cell", "pager", "sn", "sn", "note\r\n"};
    for (int f = 0; f <= 10; ++f) EXPECT_EQ(book.GetField(0, f), expected[f]) << f;
    // A second load appends; the first one's records stay readable.
    ASSERT_TRUE(book.LoadFromText("dn: b\ncn: second\n"));
    EXPECT_EQ(book.GetField(0, 0) + "," + book.GetField(1, 0), "cn,second");
    for (const auto& [record, field] : {std::pair{0, 11}, {0, -1}, {-1, 0}, {2, 0}})
        EXPECT_EQ(book.GetField(record, field), "") << record << "," << field;
}

TEST_F(Book, UnusableBooksLoadNothingAndSayWhy) {
    using enum LoadOutcome;
    EXPECT_EQ((std::tuple{LoadText(""), book.lastOutcome()}), std::tuple(false, NoRecords));
    EXPECT_EQ((std::tuple{LoadText("cn: Ann\nmail: ann@example.com\n"), book.lastOutcome()}),
              std::tuple(false, NoRecords));
    EXPECT_EQ(book.GetCount(), 0);

    TempFolder other;
    AddressBook elsewhere;
    elsewhere.SetFolder(other.path() + "no/such/folder");
    EXPECT_EQ((std::tuple{elsewhere.Load(), elsewhere.lastOutcome()}), std::tuple(false, Missing));
    ASSERT_EQ(::mkdir((other.path() + "addrbook.ldif").c_str(), 0700), 0);  // a folder
    elsewhere.SetFolder(other.path());
    EXPECT_EQ((std::tuple{elsewhere.Load(), elsewhere.lastOutcome()}),
              std::tuple(false, Unreadable));
    TempFolder pipe;
    ASSERT_EQ(::mkfifo((pipe.path() + "addrbook.ldif").c_str(), 0600), 0);  // never blocks
    elsewhere.SetFolder(pipe.path());
    EXPECT_EQ((std::tuple{elsewhere.Load(), elsewhere.lastOutcome()}),
              std::tuple(false, Unreadable));
}

TEST_F(Book, FindByIdIgnoresCaseAndTakesTheFirstMatch) {
    ASSERT_TRUE(
        LoadText("dn: 1\ncn: One\nxqrvtmpid: abc\n"
                 "dn: 2\ncn: Two\nxqrvuid: abc\n"
                 "dn: 3\ncn: Three\nxqrvuid: \xc3\xa9t\xc3\xa9\n"));
    const std::pair<const char*, const char*> cases[] = {
        {"ABC", "One"}, {"\xc3\xa9T\xc3\xa9", "Three"}, {"", nullptr}, {"ab", nullptr}};
    for (const auto& [id, cn] : cases) {
        const Contact* found = book.FindById(id);
        EXPECT_EQ(found ? found->cn : "-", std::string(cn ? cn : "-")) << id;
    }
}

TEST_F(Book, SaveWritesTheFixedLayoutWithCrLfAndReadsBackTheSame) {
    const std::string layout =
        "dn: cn=Ann Lee,mail=ann@example.com\r\ncn: Ann Lee\r\nmail: ann@example.com\r\n"
        "telephonenumber: 3\r\nhomephone: 1\r\nfacsimiletelephonenumber: 4\r\ncellphone: 5\r\n"
        "pagerphone: 6\r\nxqrvhomefax: 2\r\nxqrvuid: u1\r\nxqrvshortcut: al\r\n"
        "xqrvrecordloc: r1\r\nxqrvmsg: 7\r\ngivenname: Ann\r\nxqrvmiddlename: M\r\nsn: Lee\r\n"
        "xqrvnameprefix: Dr\r\nxqrvnamesuffix: Jr\r\nxqrvtmpid: t1\r\nxqrvemaillist: list\r\n"
        "xqrvchanged: no\r\nxqrvnote: one\r\r\ntwo\r\r\n\r\n\r\n"
        "dn: cn=Bob,mail=\r\ncn: Bob\r\n\r\n";
    // Read, saved, read and saved again: same bytes; a nameless contact is not written.
    ASSERT_TRUE(book.LoadFromText(layout));
    auto nameless = std::make_unique<Contact>();
    nameless->mail = "lost@example.com";
    book.Append(std::move(nameless));
    book.At(1)->xqrvchanged.clear();
    book.SetFolder(folder.path());
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(folder.Read("addrbook.ldif"), layout);
    AddressBook again;
    again.SetFolder(folder.path());
    ASSERT_TRUE(again.Load());
    ASSERT_EQ(again.GetCount(), 2);
    again.At(1)->xqrvchanged.clear();
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(folder.Read("addrbook.ldif"), layout);
}

TEST_F(Book, SaveReplacesTheFileWholeOrNotAtAll) {
    const std::string saved = "dn: cn=New,mail=\r\ncn: New\r\nxqrvchanged: no\r\n\r\n";
    folder.Write("addrbook.ldif", "dn: old\ncn: Old\n");
    auto c = std::make_unique<Contact>();
    c->cn = "New";
    book.Append(std::move(c));
    book.SetFolder(folder.path());
    ASSERT_TRUE(book.Save());
    EXPECT_EQ(folder.Read("addrbook.ldif"), saved);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"addrbook.ldif"}) << "no temporary left";

    // A folder that cannot be written: Save fails, the old file stays.
    ASSERT_EQ(::chmod(folder.path().c_str(), 0500), 0);
    const bool again = book.Save();
    ::chmod(folder.path().c_str(), 0700);
    if (::geteuid() != 0) {
        EXPECT_FALSE(again);
        EXPECT_EQ(folder.Read("addrbook.ldif"), saved);
    }
}

// Repeated attributes in any case, empty values, TABs, notes, lines before a record.
std::string GeneratedBook(std::mt19937& random, int records) {
    static const std::vector<std::string> kLines = [] {
        std::vector<std::string> lines;
        std::istringstream all(
            "cn: Ann\r\n|CN:   Bob  \r\n|cn:\r\n|cn: \tx\ty\r\n|mail: a@b\r\n|Mail: c@d\r\n|"
            "mail:\r\n|sn: Lee\r\n|sn Two\r\n|xqrvnote: n1\r\n|more note\r\n|\r\n|xqrvnote:\r\n|"
            "homephone: 1\r\n|xqrvhomefax: 2\r\n|pagerphone:  \r\n|facsimiletelephonenumber: 3\r\n|"
            "cellphone: 4\n|telephonenumber: 5\r\n|unknown: u\r\n|  :: \r\n|cn: \xc3\x89\r\n");
        for (std::string line; std::getline(all, line, '|');) lines.push_back(line);
        return lines;
    }();
    std::string text = random() % 2 ? "cn: before\r\nxqrvnote: x\r\n" : "";
    for (int r = 0; r < records; ++r) {
        text += r % 3 ? "dn: cn=x\r\n" : "DN: \r\n";
        for (unsigned n = random() % 12; n > 0; --n) text += kLines[random() % kLines.size()];
    }
    return text;
}

TEST(BookFields, PeekedFieldsAgreeWithTheMadeRecord) {
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        const std::string text = GeneratedBook(random, 1 + round % 7);
        AddressBook peeked, made;
        ASSERT_TRUE(peeked.LoadFromText(text));
        ASSERT_TRUE(made.LoadFromText(text));
        for (int i = 0; i < made.size(); ++i) {
            const Contact& c = *made.At(i);
            const std::string &fax = c.facsimiletelephonenumber, &home = c.xqrvhomefax;
            const std::string fields[] = {
                c.cn,        c.mail,       c.homephone, home, c.telephonenumber, fax,
                c.cellphone, c.pagerphone, c.sn,        c.sn, c.xqrvnote};
            for (int f = 0; f <= 10; ++f)
                ASSERT_EQ(peeked.GetField(i, f), fields[f])
                    << text << "record " << i << " field " << f;
        }
    }
}

// Read in pieces equals read whole, whatever byte the first piece ends at.
TEST_F(Book, PiecesReadAsTheWholeText) {
    constexpr std::size_t kPiece = 256 * 1024;
    std::vector<std::string> texts;
    for (std::size_t before = 0; before <= 12; ++before) {
        // The next line begins "before" bytes ahead of the first piece's end.
        const std::string head = "dn: a\r\ncn: filler\r\nxqrvnote: ";
        std::string text = head + std::string(kPiece - before - head.size() - 2, 'n') + "\r\n";
        text += "dn: cn=b\r\ncn: M\xfcller\r\nmail: b@c\r\n\r\ndn: c\r\ncn: last";
        texts.push_back(text);
    }
    for (std::size_t size : {kPiece - 1, kPiece, kPiece + 1, 3 * kPiece})
        texts.push_back("dn: a\r\ncn: A\r\nxqrvnote: " + std::string(size, 'x') +
                        "\r\ndn: b\r\ncn: B\r\n");
    texts.push_back(std::string(kPiece + 5, ':') + "\r\ndn: a\r\ncn: A\r\n");
    texts.emplace_back(kPiece * 2, '\n');  // no record at all
    for (const std::string& text : texts) {
        AddressBook whole;
        const bool any = whole.LoadFromText(text);
        book.Clear();
        ASSERT_EQ(LoadText(text), any);
        ASSERT_EQ(book.GetCount(), whole.GetCount());
        EXPECT_EQ(book.Format(), whole.Format());
        for (int i = 0; i < whole.size(); ++i) EXPECT_EQ(*book.At(i), *whole.At(i)) << i;
    }
}

}  // namespace
