#include "addrbook/contacts/ContactBook.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "addrbook/VCardFile.h"
#include "addrbook/contacts/ContactsCommand.h"
#include "addrbook/contacts/ListRecipients.h"
#include "support/TempFolder.h"
#include "wizard/job/FaxJob.h"

namespace {

Contact Named(const std::string& cn, const std::string& fax = {}, const std::string& uid = {}) {
    Contact c;
    c.cn = cn;
    c.facsimiletelephonenumber = fax;
    c.xqrvuid = uid;
    return c;
}

std::vector<std::string> Names(ContactBook& book) {
    std::vector<std::string> names;
    for (int i = 0; i < book.book().size(); ++i) names.push_back(book.book().At(i)->cn);
    return names;
}

// Unchanged records go back byte for byte; changed ones keep unknown attribute lines.
TEST(ContactBook, UntouchedRecordsStayByteForByte) {
    TempFolder folder;
    const std::string other = "dn: b\nSN: Bee\nxqrvnote: one\ntwo\n\n";
    const std::string windows = "dn: c\r\ncn: M\xfcller\r\n";
    folder.Write("addrbook.ldif",
                 "version: 1\r\ndn: a\r\nCN:   Ann\r\nobjectclass: person\r\n"
                 "xqrvnote: n\r\n\r\ndn: b\nCN: Bee\n" +
                     other.substr(6) + windows);
    ContactBook book(folder.path());
    ASSERT_TRUE(book.Open());
    Contact ann = *book.book().At(0);
    Contact edited = ann;
    edited.mail = "ann@example.com";
    ASSERT_TRUE(book.Change(0, ann, edited).ok());
    EXPECT_EQ(folder.Read("addrbook.ldif"),
              "version: 1\r\n"
              "dn: cn=Ann,mail=ann@example.com\r\ncn: Ann\r\nmail: ann@example.com\r\n"
              "xqrvchanged: no\r\nobjectclass: person\r\nxqrvnote: n\r\r\n\r\n\r\n"
              "dn: b\nCN: Bee\nSN: Bee\nxqrvnote: one\ntwo\n\n"
              "dn: c\r\ncn: M\xc3\xbcller\r\n");
    ContactBook again(folder.path());
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(*again.book().At(0), edited);
    EXPECT_EQ(Names(again), (std::vector<std::string>{"Ann", "Bee", "M\xc3\xbcller"}));
}

// Add, edit, delete several (logging identified ones) and lists reach the disk.
TEST(ContactBook, EditDeleteAndListsReachTheDisk) {
    TempFolder folder;
    ContactBook book(folder.path());
    ASSERT_TRUE(book.Open());
    for (const Contact& c : {Named("Ann", "1", "u-ann"), Named("Bob", "2"), Named("Cy", "3")})
        ASSERT_TRUE(book.Add(c).ok());
    const Contact bob = *book.book().At(1);
    ASSERT_TRUE(book.Change(1, bob, Named("Robert", "22")).ok());
    ASSERT_TRUE(book.SetList("Team", {{1, *book.book().At(1)}, {2, *book.book().At(2)}}).ok());
    ASSERT_EQ(book.lists().size(), 1u);
    const std::vector<Contact> members = book.Members(book.lists()[0]);
    ASSERT_EQ(members.size(), 2u);
    EXPECT_FALSE(members[0].xqrvuid.empty()) << "an identifier is given to name it by";
    EXPECT_EQ(ContactBook::ParseLists(folder.Read(ContactBook::kListsFileName)), book.lists());

    const Contact ann = *book.book().At(0), cy = *book.book().At(2);
    ASSERT_TRUE(book.Remove({{0, ann}, {2, cy}}).ok());
    EXPECT_EQ(Names(book), std::vector<std::string>{"Robert"});
    EXPECT_EQ(folder.Read("deleteditems.vcf"),
              VCardFile::FormatCard(ann) + VCardFile::FormatCard(cy));
    ContactBook again(folder.path());
    ASSERT_TRUE(again.Open());
    EXPECT_EQ(Names(again), std::vector<std::string>{"Robert"});
    EXPECT_EQ(again.Members(again.lists()[0]).size(), 1u) << "a deleted member drops out";
    ASSERT_TRUE(again.SetList("Team", {}).ok());
    EXPECT_TRUE(ContactBook::ParseLists(folder.Read(ContactBook::kListsFileName)).empty());
}

// Two writers on one book: each change lands on the other's; edits of removed kept.
TEST(ContactBook, TwoWritersNeverLoseAnEdit) {
    TempFolder folder;
    folder.Write("addrbook.ldif", "dn: a\r\ncn: Ann\r\n\r\ndn: b\r\ncn: Bob\r\n\r\n");
    ContactBook first(folder.path()), second(folder.path());
    ASSERT_TRUE(first.Open() && second.Open());
    const Contact ann = *first.book().At(0), bob = *second.book().At(1);
    EXPECT_TRUE(!first.Change(0, ann, Named("Ann 1")).reloaded && second.ChangedOnDisk());
    const WriteResult r = second.Change(1, bob, Named("Bob 2"));
    EXPECT_TRUE(r.ok() && r.reloaded && r.conflicts == 0);
    EXPECT_EQ(Names(second), (std::vector<std::string>{"Ann 1", "Bob 2"}));

    ASSERT_TRUE(first.Remove({{1, bob}}).ok()) << "gone already: nothing to do";
    const Contact bob2 = *first.book().At(1);
    ASSERT_TRUE(first.Remove({{1, bob2}}).ok());
    const WriteResult late = second.Change(1, bob2, Named("Bob 3"));
    EXPECT_EQ(late.conflicts, 1);
    EXPECT_EQ(Names(second), (std::vector<std::string>{"Ann 1", "Bob 3"}));

    // Processes adding at the same time: every contact arrives.
    constexpr int kEach = 25;
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ContactBook own(folder.path());
            bool ok = own.Open();
            for (int i = 0; i < kEach; ++i)
                ok = own.Add(Named("P" + std::to_string(p) + "-" + std::to_string(i))).ok() && ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    ContactBook after(folder.path());
    ASSERT_TRUE(after.Open());
    EXPECT_EQ(after.book().size(), 2 + 2 * kEach);
}

// Duplicates merged or listed; a failed import or a foreign file leaves all as it was.
TEST(ContactBook, ImportMergesDuplicatesAndIsAllOrNothing) {
    TempFolder folder;
    ContactBook book(folder.path());
    ASSERT_TRUE(book.Open() && book.Add(Named("Ann Lee", "+1 212 555 0100")).ok());
    ImportResult read;
    Contact withMail = Named("ann lee", "12125550100");
    withMail.mail = "ann@example.com";
    Contact otherMail = withMail;
    otherMail.mail = "other@example.com";
    read.contacts = {Named("Ann Lee", "1 212 555 0100"), withMail, otherMail, Named("Bob", "2"),
                     Named("Bob", "2")};
    read.lines = {1, 5, 9, 13, 17};
    ImportSummary summary;
    ASSERT_TRUE(book.Import(read, summary).ok());
    EXPECT_EQ(
        std::vector<int>({summary.added, summary.merged, summary.duplicates, summary.keptBoth}),
        std::vector<int>({1, 1, 2, 1}));
    EXPECT_EQ(summary.notes.front(), "line 1: Ann Lee: already in the book");
    EXPECT_EQ(Names(book), (std::vector<std::string>{"Ann Lee", "ann lee", "Bob"}));
    EXPECT_EQ(book.book().At(0)->mail, "ann@example.com");
    ASSERT_TRUE(book.Import(read, summary).ok());
    EXPECT_EQ(summary.added + summary.merged + summary.keptBoth, 0) << "read twice, added once";

    // A disk that takes no more (a file-size limit binds root as well).
    const std::string before = folder.Read("addrbook.ldif");
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{before.size(), before.size()};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        read.contacts.push_back(Named("Dee", "4"));
        ::_exit(book.Import(read, summary).status == WriteStatus::NotSaved ? 0 : 1);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(folder.Read("addrbook.ldif"), before);
    EXPECT_EQ(folder.Names().size(), 1u) << "no temporary file left";

    folder.Write("addrbook.ldif", "not a book\r\n");
    ContactBook wrong(folder.path());
    EXPECT_FALSE(wrong.Open());
    EXPECT_EQ(wrong.Add(Named("X")).status, WriteStatus::Unreadable);
    EXPECT_EQ(folder.Read("addrbook.ldif"), "not a book\r\n");
}

TEST(ContactBook, CsvMappingIsRemembered) {
    TempFolder folder;
    const std::string path = folder.file("csv-columns");
    CsvMapping mapping = ContactImport::GuessCsvMapping("Who;Fax;Other\r\nAnn;1;x\r\n");
    EXPECT_EQ(mapping.fields, (std::vector<std::string>{"", "facsimiletelephonenumber", ""}));
    EXPECT_EQ(mapping.example, (std::vector<std::string>{"Ann", "1", "x"}));
    mapping.fields[0] = "cn";
    ASSERT_TRUE(ContactBook::RememberMapping(path, mapping));
    ASSERT_TRUE(ContactBook::RememberMapping(path, mapping)) << "replaced, not doubled";
    CsvMapping recalled = ContactImport::GuessCsvMapping("Who;Fax;Other\r\n");
    ASSERT_TRUE(ContactBook::RecallMapping(path, recalled));
    EXPECT_EQ(recalled.fields, mapping.fields);
    CsvMapping other = ContactImport::GuessCsvMapping("Name\r\n");
    EXPECT_FALSE(ContactBook::RecallMapping(path, other));
}

// The command's exit status says what happened; a failure leaves the book alone.
TEST(ContactBook, CommandTellsItsOutcomeByExitStatus) {
    TempFolder folder;
    folder.Write("good.vcf", "BEGIN:VCARD\r\nFN:Ann\r\nTEL;TYPE=fax:1\r\nEND:VCARD\r\n");
    folder.Write("bad.vcf", "BEGIN:VCARD\r\nFN:Bob\r\nEND:VCARD\r\nBEGIN:VCARD\r\n");
    folder.Write("rows.csv", "Name,Fax\r\nCarol,3\r\n");
    folder.Write("what.bin", "\x01\x02");
    struct Case {
        std::vector<std::string> files;
        int status, contacts;
    };
    const Case cases[] = {
        {{"good.vcf", "rows.csv"}, ContactsCommand::kDone, 2},
        {{"bad.vcf"}, ContactsCommand::kSomeSkipped, 3},
        {{"good.vcf", "missing.vcf"}, ContactsCommand::kFailed, 3},
        {{"what.bin"}, ContactsCommand::kFailed, 3},
    };
    std::FILE* sink = std::tmpfile();
    for (const Case& c : cases) {
        ContactsCommand command;
        for (const std::string& f : c.files) command.imports.push_back(folder.file(f));
        command.mappingsPath = folder.file("columns");
        EXPECT_EQ(command.Run(folder.path(), sink, sink), c.status) << c.files[0];
        ContactBook book(folder.path());
        ASSERT_TRUE(book.Open());
        EXPECT_EQ(book.book().size(), c.contacts) << c.files[0];
    }
    ContactsCommand exporting;
    exporting.exportTo = folder.file("out.vcf");
    EXPECT_EQ(exporting.Run(folder.path(), sink, sink), ContactsCommand::kDone);
    EXPECT_EQ(ContactImport::ReadVCards(folder.Read("out.vcf")).contacts.size(), 3u);
    exporting.exportTo = folder.file("no/such/folder.vcf");
    EXPECT_EQ(exporting.Run(folder.path(), sink, sink), ContactsCommand::kFailed);
    ContactsCommand nowhere;
    nowhere.imports = {folder.file("good.vcf")};
    EXPECT_EQ(nowhere.Run(folder.file("no/such/"), sink, sink), ContactsCommand::kFailed);
    std::fclose(sink);
}

// A list's members become recipients; those without number or address are named.
TEST(ContactBook, ListMembersBecomeRecipients) {
    Contact home = Named("Home", "");
    home.xqrvhomefax = "+1 (212) 555-0101";
    Contact mailOnly = Named("Mail");
    mailOnly.mail = "m@example.com";
    FaxJob job;
    job.faxNumbersAllowed = 1;
    const std::vector<std::string> left =
        AddListToJob(job, {Named("Ann", "+1 212 555 0100"), home, mailOnly, Named("Nobody")});
    EXPECT_EQ(left, std::vector<std::string>{"Nobody"});
    std::vector<std::string> lines;
    for (const auto& r : job.RecipientList) lines.push_back(r->displayLine);
    EXPECT_EQ(lines, (std::vector<std::string>{"\"Ann\" <12125550100>", "\"Home\" <12125550101>",
                                               "\"Mail\" <m@example.com>"}));
}

}  // namespace
