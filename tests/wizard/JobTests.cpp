// Fax job: recipient line, gateway addresses, staging and the outbox store.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <memory>
#include <set>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/FileReplace.h"
#include "tests/support/FakeClock.h"
#include "tests/support/Staged.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestTiff.h"
#include "wizard/job/FaxJob.h"
#include "wizard/job/Outbox.h"
#include "wizard/job/OutboxMessage.h"
#include "wizard/job/OutboxReader.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kGw = "@gw.test";

unsigned ModeOf(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0u;
}

// The stored messages' folders, in name order, and their message files.
std::vector<std::string> StoredFolders(const std::string& outbox) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(outbox))
        if (e.is_directory() && !e.is_symlink()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string HeaderOf(const std::string& file, const std::string& label) {
    const auto at = file.find("\r\n" + label + ": ");
    if (at == std::string::npos) return {};
    const auto begin = at + label.size() + 4;
    return file.substr(begin, file.find("\r\n", begin) - begin);
}

// Local time is UTC in these tests, so dates are known.
class JobTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
    }
    TempFolder tmp;
    const std::string dir = tmp.path();  // ends with "/"
    // 2023-11-14 22:13:20 UTC
    FakeClock clock{1700000000};
};

FaxJob JobWith(const std::vector<std::string>& lines) {
    FaxJob job;
    for (const std::string& line : lines) {
        auto r = std::make_unique<Recipient>();
        r->displayLine = line;
        job.RecipientList.push_back(std::move(r));
    }
    return job;
}

}  // namespace

TEST(RecipientLine, JoinsDisplayLinesHeadFirstWithoutTrailingSeparator) {
    EXPECT_EQ(JobWith({}).BuildRecipientLine(), "");
    EXPECT_EQ(JobWith({"A"}).BuildRecipientLine(), "A");
    EXPECT_EQ(JobWith({"\"A\" <1>", "\"B\" <b@x.org>"}).BuildRecipientLine(),
              "\"A\" <1>, \"B\" <b@x.org>");
    // Trailing blanks and commas of the last entry go with the separator.
    EXPECT_EQ(JobWith({"A", "B , "}).BuildRecipientLine(), "A, B");
    // A number keeps only its decimal digits.
    Recipient r;
    r.SetFaxNumber("+1 (555) 123-4567 x\xd9\xa3");
    EXPECT_EQ(r.faxNumber, "15551234567");
}

TEST(GatewayAddresses, RewritesFaxNumbersAndKeepsEverythingElse) {
    const std::string longName(300, 'n');
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"\"Fax Recipient\" <5551234>", "5551234@gw.test"},
        // Number first, then mail address: the mail entry keeps name and brackets.
        {"\"Fax Recipient\" <5551234>, \"Bo\" <bo@x.org>", "5551234@gw.test, \"Bo\" <bo@x.org>"},
        // Mail address first: the number follows the comma without the blank.
        {"\"Bo\" <bo@x.org>, \"Fax Recipient\" <5551234>", "\"Bo\" <bo@x.org>,5551234@gw.test"},
        // Digits elsewhere do not make a mail address a fax number.
        {"\"R2\" <r2d2@x99.org>", "\"R2\" <r2d2@x99.org>"},
        {"\"A\" <1>, \"B\" <2>, \"C\" <3>", "1@gw.test, 2@gw.test, 3@gw.test"},
        // A long display name does not hide the next entry.
        {"\"" + longName + "\" <111>, \"x\" <222>", "111@gw.test, 222@gw.test"},
        // Malformed lines: no crash, no number lost, nothing of an entry dropped.
        {">", ">"},
        {"5>", "5@gw.test"},
        {"<<>>>", "<<>>>"},
        {"\"a\" 12>, \"b\" <34>", "\"a\" 12@gw.test, 34@gw.test"},
    };
    for (const auto& [line, addresses] : cases)
        EXPECT_EQ(FaxNumbersToAddresses(line, kGw), addresses) << line;
}

TEST(OutboxMessageFile, HeaderValuesCannotAddLinesOrOverflowTheLineBuffer) {
    OutboxMessage m;
    m.subject = "a\r\ndir: ../x\n";
    const auto bytes = m.Render();
    ASSERT_TRUE(bytes);
    EXPECT_NE(bytes->find("subject: a  dir: ../x \r\n"), std::string::npos);

    // "subject: " (9) + value + line feed must stay below 512 bytes.
    m.subject = std::string(501, 's');
    EXPECT_TRUE(m.Render());
    m.subject = std::string(502, 's');
    EXPECT_FALSE(m.Render());
    const TempFolder dir;
    EXPECT_FALSE(m.WriteMessageFile(dir.file("msg.qvm")) || fs::exists(dir.file("msg.qvm")));
}

TEST_F(JobTest, EachStagingGetsAPrivateFolderOfItsOwn) {
    const std::string attached = dir + "Report.pdf";
    WriteText(attached, "first");
    // The outbox folder does not exist yet.
    const std::string copy = StageAttachment(dir, attached);
    ASSERT_TRUE(StagedIn(copy, dir + "outbox/", "Report.pdf")) << copy;
    EXPECT_EQ(ReadText(copy) + ReadText(attached), "firstfirst");
    EXPECT_EQ(std::tuple(ModeOf(copy), ModeOf(fs::path(copy).parent_path())),
              std::tuple(0600u, 0700u));
    // Another run attaching a file of the same name meets none of these.
    WriteText(attached, "second");
    const std::string other = StageAttachment(dir, attached);
    EXPECT_NE(other, copy);
    EXPECT_EQ((std::tuple{ReadText(other), ReadText(copy)}), std::tuple("second", "first"));
    // Staging the staged copy itself keeps it intact.
    EXPECT_EQ((std::tuple{ReadText(StageAttachment(dir, copy)), ReadText(copy)}),
              std::tuple("first", "first"));
    // A staged file goes with its folder.
    RemoveStaged(copy);
    EXPECT_FALSE(fs::exists(fs::path(copy).parent_path()));
    // A failed stage never returns a stale copy and leaves no folder behind.
    WriteText(dir + "outbox/gone.tif", "stale");
    const auto entries = std::distance(fs::directory_iterator(dir + "outbox"), {});
    EXPECT_EQ(
        (std::tuple{StageAttachment(dir, dir + "gone.tif"), ReadText(dir + "outbox/gone.tif")}),
        std::tuple("", "stale"));
    EXPECT_EQ(StageAttachment(dir, dir), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "outbox"), {}), entries);
}

// A run elsewhere staging a print and holding its folder until killed or the test ends.
class StagingRun {
  public:
    explicit StagingRun(const std::string& outbox) {
        int up[2], down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const std::string path = StagingPath(outbox, "print.tif");
            std::ofstream(path) << "pages";
            (void)!::write(up[1], path.data(), path.size());
            ::close(up[1]);
            char c;
            (void)!::read(down[0], &c, 1);
            ::_exit(0);
        }
        ::close(up[1]);
        ::close(down[0]);
        hold_ = down[1];
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(up[0], buffer, sizeof buffer)) > 0) folder.append(buffer, n);
        ::close(up[0]);
        folder = fs::path(folder).parent_path().string();
    }
    ~StagingRun() { End(SIGTERM); }
    void Crash() { End(SIGKILL); }
    std::string folder;

  private:
    void End(int signal) {
        if (pid_ <= 0) return;
        ::kill(pid_, signal);
        ::waitpid(pid_, nullptr, 0);
        ::close(hold_);
        pid_ = 0;
    }
    pid_t pid_ = 0;
    int hold_ = -1;
};

// Only folders whose owner is gone are cleared; nothing outside them is.
TEST_F(JobTest, StartUpClearsOnlyStagingFoldersNobodyHolds) {
    const std::string outbox = dir + "outbox/", outside = dir + "outside/";
    fs::create_directories(outside + "sub");
    fs::create_directories(outbox);
    WriteText(outside + "keep.txt", "mine");
    WriteText(outside + "sub/keep.txt", "mine too");
    std::vector<std::unique_ptr<StagingRun>> runs;
    auto run = [&](bool crash) {
        auto& r = runs.emplace_back(std::make_unique<StagingRun>(outbox));
        if (crash) r->Crash();
        return r->folder;
    };
    auto lockless = [&](const std::string& name) {
        fs::create_directories(outbox + name);
        WriteText(outbox + name + "/print.tif", "pages");
        return outbox + name;
    };
    auto hostile = [&](const std::string& folder) {
        fs::create_symlink(outside + "keep.txt", folder + "/file-link");
        fs::create_symlink(outside, folder + "/folder-link");
        fs::create_directories(folder + "/inner");
        fs::create_symlink(outside + "sub", folder + "/inner/link");
        return folder;
    };
    struct Case {
        const char* what;
        std::string folder;
        bool old;  // two days
        bool cleared;
    };
    const std::string held = StagingPath(outbox, "held.tif");
    std::vector<Case> cases = {
        {"crashed run, young", run(true), false, true},
        {"crashed run, old", run(true), true, true},
        {"running wizard, old", run(false), true, false},
        {"this run's own, old", fs::path(held).parent_path().string(), true, false},
        {"no lock file, old", lockless(".stage-aaaaaa"), true, true},
        {"no lock file, young", lockless(".stage-bbbbbb"), false, false},
        {"links inside, crashed run", hostile(run(true)), false, true},
        {"links inside, running wizard", hostile(run(false)), true, false},
        {"lock file a link outside, old", lockless(".stage-cccccc"), true, true},
        {"another name, old", lockless(".stagex-dddddd"), true, false},
    };
    fs::create_symlink(outside + "keep.txt", outbox + ".stage-cccccc/.lock");
    fs::create_symlink(outside, outbox + ".stage-link00");
    int cleared = 0;
    for (const Case& c : cases) {
        ASSERT_TRUE(fs::is_directory(c.folder)) << c.what;
        if (c.old) {
            const timespec twoDays[2] = {{std::time(nullptr) - 2 * 86400, 0},
                                         {std::time(nullptr) - 2 * 86400, 0}};
            ASSERT_EQ(::utimensat(AT_FDCWD, c.folder.c_str(), twoDays, 0), 0);
        }
        cleared += c.cleared;
    }
    const std::string recovered = dir + "recovered/";
    WriteText(dir + "taken", "");
    fs::create_directories(recovered);
    WriteText(recovered + "print.tif", "an earlier recovery");
    EXPECT_EQ(RemoveAbandonedStaging(outbox, recovered), cleared);
    for (const Case& c : cases) EXPECT_EQ(!fs::exists(c.folder), c.cleared) << c.what;
    EXPECT_TRUE(fs::is_symlink(outbox + ".stage-link00"));
    EXPECT_EQ(ReadText(outside + "keep.txt"), "mine");
    EXPECT_EQ(ReadText(outside + "sub/keep.txt"), "mine too");
    // Each cleared print is kept in recovered/, none replaced, no link or lock among them.
    std::multiset<std::string> kept;
    for (const auto& e : fs::directory_iterator(recovered)) {
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(e.path()))) << e.path();
        kept.insert(ReadText(e.path().string()));
    }
    std::multiset<std::string> expected{"an earlier recovery"};
    for (const Case& c : cases)
        if (c.cleared) expected.insert("pages");
    EXPECT_EQ(kept, expected);
    EXPECT_EQ(fs::status(recovered).permissions() & fs::perms::all, fs::perms::owner_all);
    // A recovered/ that cannot be made keeps every folder as it is.
    const std::string stuck = run(true);
    EXPECT_EQ(RemoveAbandonedStaging(outbox, dir + "taken/"), 0);
    EXPECT_TRUE(fs::exists(stuck + "/print.tif"));
    // What this run holds goes with its file, lock file and all.
    EXPECT_TRUE(HeldStaged(held));
    RemoveStaged(held);
    EXPECT_FALSE(fs::exists(fs::path(held).parent_path()) || HeldStaged(held));
}

TEST_F(JobTest, SaveStoresMessageAndMovesDocument) {
    // No outbox folder yet: it is created.
    fs::create_directories(dir + "staging");
    const std::string document = dir + "staging/fax.tif";
    const std::string tiff(3000, 'T');
    WriteText(document, tiff);
    FaxMessage message;
    message.from = "me@x.org";
    message.to = "\"Fax Recipient\" <5551234>, \"Bo\" <bo@x.org>";
    message.subject = "Quarterly";
    message.body = "a\nb";
    message.documentPath = document;
    message.memo = "not stored";

    const std::string folder = SaveToOutbox(dir, "outbox", message, clock, kGw).value_or({});
    ASSERT_EQ(folder, dir + "outbox/1700000000");
    EXPECT_FALSE(fs::exists(document));
    EXPECT_EQ(ReadText(folder + "/fax.tif"), tiff);

    const std::string file = ReadText(folder + "/msg.qvm");
    auto expected = [&](const std::string& size) {
        return "from: me@x.org\r\nto: 5551234@gw.test, \"Bo\" <bo@x.org>\r\ncc: \r\nbcc: \r\n"
               "subject: Quarterly\r\ndir: 1700000000\r\nyear: 2023\r\nmonth: 11\r\nday: 14\r\n"
               "hour: 22\r\nminute: 13\r\nsecond: 20\r\nmsgtype: 1\r\nsize: " +
               size + "\r\nbody:\r\na\r\nb\r\nattachment:\r\n" + folder + "/fax.tif\r\n";
    };
    // The size counts the document and the message file as written with "size: 0".
    const std::size_t size = tiff.size() + expected("0").size();
    EXPECT_EQ(file, expected(std::to_string(size)));
    // Nothing temporary is left (fax, message, send record); the fax is the user's alone.
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir + "outbox"), {}), 1);
    EXPECT_EQ(
        std::tuple(ModeOf(folder) & 0077, ModeOf(folder + "/fax.tif"), ModeOf(folder + "/msg.qvm")),
        std::tuple(0u, 0600u, 0600u));
}

// The document keeps its line in the message file; without one the list is empty.
TEST_F(JobTest, DocumentNamesAreStoredOnOneLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {"x", "x"}, {"a\nb.tif", "a_b.tif"}};
    for (const auto& [name, stored] : cases) {
        FaxMessage message;
        if (*name) {
            message.documentPath = dir + name;
            WriteText(message.documentPath, "doc");
        }
        const std::string folder = SaveToOutbox(dir, "outbox", message, clock, kGw).value_or({});
        ASSERT_FALSE(folder.empty()) << name;
        const std::string file = ReadText(folder + "/msg.qvm");
        EXPECT_TRUE(file.starts_with("from: \r\nto: \r\n")) << name;
        if (!*name) {
            EXPECT_TRUE(file.ends_with("body:\r\n\r\nattachment:\r\n"));
            continue;
        }
        EXPECT_FALSE(fs::exists(message.documentPath)) << name;
        EXPECT_EQ(ReadText(folder + "/" + stored), "doc") << name;
        EXPECT_TRUE(file.ends_with("attachment:\r\n" + folder + "/" + stored + "\r\n")) << name;
    }
}

TEST_F(JobTest, FailuresAreReportedAndKeepTheDocument) {
    const std::string document = dir + "fax.tif";
    WriteText(document, "doc");
    FaxMessage message;
    message.documentPath = document;

    // A header line too long for the message file.
    message.subject = std::string(600, 's');
    EXPECT_FALSE(SaveToOutbox(dir, "outbox", message, clock, kGw));
    message.subject.clear();
    EXPECT_EQ(ReadText(document), "doc");

    // The document has gone: no fax without its document, no folder left.
    FaxMessage missing;
    missing.documentPath = dir + "missing.tif";
    EXPECT_FALSE(SaveToOutbox(dir, "outbox", missing, clock, kGw));

    // The outbox path is taken by a plain file.
    WriteText(dir + "blocked", "");
    EXPECT_FALSE(SaveToOutbox(dir, "blocked", message, clock, kGw));

    if (::geteuid() != 0) {
        // A read-only outbox: nothing can be written.
        fs::create_directories(dir + "outbox");
        fs::permissions(dir + "outbox", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(SaveToOutbox(dir, "outbox", message, clock, kGw));
        fs::permissions(dir + "outbox", fs::perms::owner_all);
    }
    EXPECT_EQ(ReadText(document), "doc");
    if (fs::exists(dir + "outbox")) {
        EXPECT_TRUE(fs::is_empty(dir + "outbox"));
    }
}

// Planted links and another program's unfinished message are left alone.
TEST_F(JobTest, PlantedLinksAndForeignFoldersAreLeftAlone) {
    const std::string outbox = dir + "outbox/";
    fs::create_directories(outbox + ".partial-crash");
    WriteText(outbox + ".partial-crash/fax.tif", "a fax from before a crash");
    fs::create_directories(dir + "victims");
    WriteText(dir + "victim", "victim");
    for (const char* name : {"fax.tif", "temp.tif", "Cover.tif", "msg.qvm"})
        fs::create_symlink(dir + "victim", outbox + name);
    fs::create_directory_symlink(dir + "victims", outbox + "1700000000");
    WriteText(dir + "fax.tif", "mine");

    FaxMessage message;
    message.documentPath = StageAttachment(dir, dir + "fax.tif");
    const std::string folder = SaveToOutbox(dir, "outbox", message, clock, kGw).value_or({});
    ASSERT_EQ(folder, outbox + "1700000001");
    EXPECT_EQ((std::tuple{ReadText(folder + "/fax.tif"), ReadText(dir + "victim")}),
              std::tuple("mine", "victim"));
    EXPECT_TRUE(fs::is_empty(dir + "victims"));
    for (const char* name : {"fax.tif", "temp.tif", "Cover.tif", "msg.qvm", "1700000000"})
        EXPECT_TRUE(fs::is_symlink(outbox + name)) << name;
    EXPECT_EQ(ReadText(outbox + ".partial-crash/fax.tif"), "a fax from before a crash");
}

// Modes follow the umask, private files are the user's, a replaced file never widens.
TEST_F(JobTest, FileModesFollowTheUmaskAndNeverWiden) {
    struct Case {
        mode_t umask;
        FileAccess access;
        unsigned existing;  // 0: no file there before
        unsigned expected;
    };
    const Case cases[] = {
        {022, FileAccess::Shared, 0, 0644},    {027, FileAccess::Shared, 0, 0640},
        {077, FileAccess::Shared, 0, 0600},    {000, FileAccess::Private, 0, 0600},
        {022, FileAccess::Private, 0, 0600},   {022, FileAccess::Shared, 0600, 0600},
        {002, FileAccess::Shared, 0640, 0640}, {077, FileAccess::Kept, 0644, 0644},
    };
    const mode_t saved = ::umask(022);
    int n = 0;
    for (const Case& c : cases) {
        const std::string path = dir + "file" + std::to_string(n++);
        if (c.existing) {
            WriteText(path, "old");
            fs::permissions(path, static_cast<fs::perms>(c.existing));
        }
        ::umask(c.umask);
        EXPECT_TRUE(WriteFileReplacing(path, "new", c.access));
        EXPECT_EQ(ModeOf(path), c.expected) << path;
    }
    ::umask(saved);
}

// A Result tells a value, even an empty one, from a failure; the user reads
// the sentence where the callee worded one, else the cause.
TEST(FailureResult, CarriesTheCauseAndTheSentence) {
    errno = ENOENT;
    const Failure fromErrno = FromErrno("open /x");
    const struct {
        Failure failure;
        std::string text;
    } cases[] = {
        {fromErrno, "open /x: " + std::string(std::strerror(ENOENT))},
        {Fail("mkdir /y: denied"), "mkdir /y: denied"},
        {Fail("HTTP status 500", "The service had a fault."), "The service had a fault."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.failure.text(), c.text);
        const Result<std::string> value = c.failure;
        const Result<> none = c.failure;
        EXPECT_FALSE(value.ok() || none.ok() || value || none) << c.text;
        EXPECT_EQ(value.failure().text(), c.text);
    }
    EXPECT_TRUE(fromErrno.sentence.empty());
    const Result<std::string> empty = std::string();
    ASSERT_TRUE(empty);
    EXPECT_EQ(*empty, "");
    EXPECT_TRUE(Result<>().ok());
}

TEST(SmallFile, ReadUpToItsLimitAndNotAByteMore) {
    const TempFolder dir;
    constexpr std::size_t kLimit = 4096;
    for (const std::size_t size : {kLimit - 1, kLimit, kLimit + 1}) {
        const std::string path = dir.path() + "f" + std::to_string(size);
        WriteText(path, std::string(size, 'x'));
        const auto read = ReadSmallFile(path, kLimit);
        if (size <= kLimit) {
            ASSERT_TRUE(read) << size << ": " << read.failure().cause;
            EXPECT_EQ(read->size(), size);
        } else {
            EXPECT_FALSE(read) << size;
            EXPECT_EQ(read.failure().cause, "is too large (4097 bytes)");
        }
    }
}

TEST(RecipientSplit, WholeEntriesUpToTheLimit) {
    struct Case {
        std::string line;
        std::size_t max;
        std::optional<std::vector<std::string>> parts;
    };
    const Case cases[] = {
        {"", 10, std::vector<std::string>{""}},
        {"a, b", 10, std::vector<std::string>{"a, b"}},
        {"aaaa, bbbb, cc", 10, std::vector<std::string>{"aaaa, bbbb", "cc"}},
        // The rewritten fax number after a mail address keeps its missing blank.
        {"\"x\" <x@y>,1@g, 2@g", 10, std::vector<std::string>{"\"x\" <x@y>", "1@g, 2@g"}},
        // Commas inside quotes or angle brackets do not end an entry.
        {"\"Doe, Jo\" <j@x>, k", 16, std::vector<std::string>{"\"Doe, Jo\" <j@x>", "k"}},
        // At, one below and one above the limit; an entry of exactly the limit stands alone.
        {" aaa, bbb,", 10, std::vector<std::string>{" aaa, bbb,"}},
        {" aaa, bbbb,", 10, std::vector<std::string>{"aaa, bbbb"}},
        {"aaaaaaaaa, b", 10, std::vector<std::string>{"aaaaaaaaa", "b"}},
        {"aaaaaaaaaa, b", 10, std::vector<std::string>{"aaaaaaaaaa", "b"}},
        {"aaaaaaaaaaa, b", 10, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(SplitRecipientLine(c.line, c.max), c.parts) << c.line;
}

// Too many recipients for one "to:" line: several messages, each with its document.
TEST_F(JobTest, ManyRecipientsAreStoredAsSeveralMessagesThatFit) {
    std::vector<std::string> lines, expected;
    for (int i = 0; i < 40; ++i) {
        const std::string number = "55512340" + std::to_string(10 + i);
        lines.push_back("\"Fax Recipient\" <" + number + ">");
        expected.push_back(number + std::string(kGw));
    }
    FaxMessage message;
    message.to = JobWith(lines).BuildRecipientLine();
    message.documentPath = dir + "fax.tif";
    WriteText(message.documentPath, "pages");
    ASSERT_TRUE(SaveToOutbox(dir, "outbox", message, clock, kGw));
    EXPECT_FALSE(fs::exists(message.documentPath));

    const std::string outbox = dir + "outbox/";
    const auto folders = StoredFolders(outbox);
    ASSERT_GE(folders.size(), 2u);
    std::vector<std::string> stored;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        EXPECT_EQ(folders[i], std::to_string(1700000000 + i));
        const std::string file = ReadText(outbox + folders[i] + "/msg.qvm");
        const std::string to = HeaderOf(file, "to");
        EXPECT_LT(std::string("to: ").size() + to.size() + 1, OutboxMessage::kMaxLineBytes);
        for (std::size_t at = 0; at <= to.size();) {
            const auto comma = std::min(to.find(", ", at), to.size());
            stored.push_back(to.substr(at, comma - at));
            at = comma + 2;
        }
        EXPECT_EQ(ReadText(outbox + folders[i] + "/fax.tif"), "pages");
    }
    EXPECT_EQ(stored, expected);
}
