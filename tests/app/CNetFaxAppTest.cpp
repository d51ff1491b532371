#include "app/CNetFaxApp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/ProgramArgs.h"
#include "imaging/ImagingEnvironment.h"
#include "support/TempStore.h"
#include "tests/support/FakeClock.h"
#include "tests/support/ScriptedMessageBox.h"
#include "tests/support/TempFolder.h"

namespace {

// The imaging binding and fax printer as a test wants them, recording what is asked.
class FakeImaging final : public ImagingEnvironment {
  public:
    bool nt = false;
    bool printer = true;
    bool driver = true;
    bool bind = true;
    bool handOver = false;
    std::uint32_t pages = 3;

    std::vector<std::string> calls;
    std::string handOverCommandLine;
    std::string countedPath;

    bool Note(const std::string& call, bool result) {
        calls.push_back(call);
        return result;
    }
    bool IsNtPlatform() override { return Note("IsNtPlatform", nt); }
    bool PrinterPresent(const std::string& name) override {
        return Note("PrinterPresent " + name, printer);
    }
    bool PrinterDriverPresent(const std::string& name) override {
        return Note("PrinterDriverPresent " + name, driver);
    }
    bool Bind() override { return Note("Bind", bind); }
    bool PrepareInitialDocument(const std::string& commandLine, const DirectorySettings& directory,
                                FaxMessage& message) override {
        handOverCommandLine = commandLine;
        if (handOver) message.documentPath = directory.LocalFolders + "outbox/print.tif";
        return handOver;
    }
    std::uint32_t CountImages(const std::string& path) override {
        calls.emplace_back("CountImages");
        countedPath = path;
        return pages;
    }
    bool MergePages(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
};

class StartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        installPath = store.path() + "install/";
        std::filesystem::create_directories(installPath);
        WriteStore("ann", ProductKey("Connection") + Sz("ConnectionType", "1"));
    }
    // The user's account, the keys given and the install folder.
    void WriteStore(const std::string& user, const std::string& keys) const {
        store.Write(kRegHeader + ProductKey("General") + Sz("WebmailUserName", user) +
                    Sz("EmailSuffix", "fax.example") + keys + ProductKey("Directory") +
                    Sz("InstallPath", installPath));
    }

    void WriteAddressBook(const std::string& text) const {
        std::ofstream(installPath + "addrbook.ldif", std::ios::binary) << text;
    }

    // Runs start-up; the host dialog records what it saw of the job.
    bool Run(const std::string& commandLine) {
        CNetFaxApp::HostDialog host = [this](CNetFaxApp& a) {
            ++hostRuns;
            hostSawFrom = a.message.from;
        };
        app.SetHostDialog(host);
        app.SetHostBuilder([this](CNetFaxApp& a) {
            callsBeforeBuild = imaging.calls.size();
            builderSawFrom = a.message.from;
        });
        return app.InitInstance(commandLine);
    }

    TempStore store;
    std::string installPath;
    FakeImaging imaging;
    ScriptedMessageBox boxes;
    FakeClock clock{1704164645};  // 2024-01-02 03:04:05 UTC
    CNetFaxApp app{imaging, boxes, clock};
    int hostRuns = 0;
    std::string hostSawFrom, builderSawFrom;
    std::size_t callsBeforeBuild = 0;
};

TEST_F(StartUp, PlainStartWithThePrinterReadyWaitsForThePrintedDocument) {
    EXPECT_FALSE(Run(""));
    EXPECT_EQ(std::tie(hostRuns, app.attachMode, app.contactMode, app.message.pageCount),
              std::make_tuple(1, 0, 0, 3u));
    EXPECT_EQ(std::tie(app.installDir, app.helpFilePath, app.message.from),
              std::make_tuple(installPath, installPath + "qv20helpfile.hlp", "ann@fax.example"));
    EXPECT_EQ(hostSawFrom, "ann@fax.example") << "the job is filled before the wizard runs";
    EXPECT_EQ(builderSawFrom, "ann@fax.example") << "and before the window is built";
    EXPECT_EQ(callsBeforeBuild, 1u) << "the window is built before the printer checks";
    // English month names, the day and time padded.
    EXPECT_EQ(app.message.dateText + " " + app.message.timeText, "January 02, 2024 03:04:05");
    EXPECT_EQ(imaging.calls,
              (std::vector<std::string>{"IsNtPlatform", "PrinterPresent zephrim",
                                        "PrinterDriverPresent zephrim", "Bind", "CountImages"}));
    EXPECT_EQ(imaging.countedPath, "");
    EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(StartUp, EveryImagingCheckRunsAndAnyMissFallsBackToAttaching) {
    struct Case {
        bool printer, driver, bind;
    };
    for (Case c : {Case{false, true, true}, Case{true, false, true}, Case{true, true, false},
                   Case{false, false, false}}) {
        FakeImaging img;
        img.printer = c.printer;
        img.driver = c.driver;
        img.bind = c.bind;
        CNetFaxApp a(img, boxes, clock);
        EXPECT_FALSE(a.InitInstance(""));
        EXPECT_EQ(std::tie(a.attachMode, a.message.pageCount), std::make_tuple(1, 0u));
        EXPECT_EQ(img.calls, (std::vector<std::string>{"IsNtPlatform", "PrinterPresent zephrim",
                                                       "PrinterDriverPresent zephrim", "Bind"}))
            << "all checks run and no pages are counted";
    }
}

// On NT the hand-over decides the attach mode; "/s" outside quotes the contact run.
TEST_F(StartUp, HandOverAndContactSwitchDecideTheRun) {
    struct Case {
        bool nt, handOver;
        std::string line;
        int contactMode, attachMode;
        std::uint32_t pages;
    };
    std::string prog = "sendfax", word = "job", path = "/var/spool/corvinaport/job 1.grp";
    char* argv[] = {prog.data(), word.data(), path.data()};
    const Case cases[] = {
        {true, true, CommandLineFromArgs(3, argv), 0, 0, 4},
        {true, false, "job \"/nowhere.grp\"", 0, 1, 0},
        {true, true, "x /s", 1, 0, 4},
        {false, true, "x /s", 1, 1, 0},
        {false, false, "/s", 1, 1, 0},
    };
    for (const Case& c : cases) {
        FakeImaging img;
        img.nt = c.nt;
        img.handOver = c.handOver;
        img.pages = 4;
        CNetFaxApp a(img, boxes, clock);
        (void)a.InitInstance(c.line);
        EXPECT_EQ(std::tie(a.contactMode, a.attachMode, a.message.pageCount),
                  std::tie(c.contactMode, c.attachMode, c.pages))
            << c.line;
        EXPECT_EQ(img.handOverCommandLine, c.nt ? c.line : "") << c.line;
        // The print is looked for, and counted, in the local folders.
        EXPECT_EQ(img.countedPath, c.pages ? installPath + "Local Folders/outbox/print.tif" : "");
    }
    EXPECT_EQ(cases[0].line, "job \"/var/spool/corvinaport/job 1.grp\"");
}

TEST_F(StartUp, SocketsFailureShowsOneMessageAndStops) {
    app.SetSocketsInit([] { return false; });
    EXPECT_FALSE(Run("/s /n 123"));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(std::tie(boxes.boxes[0].text, boxes.boxes[0].caption, boxes.boxes[0].buttons),
              std::make_tuple("Windows sockets initialization failed.", "Send a Fax - Corvinaport",
                              MbButtons::Ok));
    EXPECT_TRUE(hostRuns == 0 && imaging.calls.empty());
    // No settings are read.
    EXPECT_EQ(app.settings.general.WebmailUserName + app.presetFaxNumber + app.message.kind, "");
}

// Without account or relay the settings are offered first; the wizard uses what was saved.
TEST_F(StartUp, FirstRunIsOfferedTheSettingsBeforeComposing) {
    const std::string unset = store.Read("registry.reg");  // no service address
    for (const MbResult answer : {MbResult::Yes, MbResult::No}) {
        store.Write(unset);
        ScriptedMessageBox box;
        box.answers = {answer};
        CNetFaxApp a(imaging, box, clock);
        int shown = 0;
        a.SetSettingsWindow([&](CNetFaxApp& at) {
            EXPECT_EQ(hostRuns, 0) << "offered before the wizard runs";
            ++shown;
            WriteStore("bea", ProductKey("Directory") + Sz("RmMessages", "http://relay.example/r"));
            EXPECT_TRUE(SetupNeeded(at.settings));
        });
        a.SetHostDialog([this](CNetFaxApp&) { ++hostRuns; });
        (void)a.InitInstance("");
        ASSERT_EQ(box.boxes.size(), 1u);
        EXPECT_EQ(std::tie(box.boxes[0].text, box.boxes[0].buttons),
                  std::make_tuple(kSetupNeededText, MbButtons::YesNo));
        EXPECT_EQ(shown, answer == MbResult::Yes ? 1 : 0);
        EXPECT_EQ(a.message.from, answer == MbResult::Yes ? "bea@fax.example" : "ann@fax.example");
    }
    EXPECT_EQ(hostRuns, 2) << "the wizard runs either way";
}

class Switches : public StartUp {};

// "/id" presets the contact's names and e-mail from the book in the install folder.
TEST_F(Switches, ContactIdPresetsTheContactFromTheBook) {
    WriteAddressBook(
        "dn: cn=Other,mail=o@x\r\ncn: Other\r\nsn: Wrong\r\nxqrvuid: zzz\r\n\r\n"
        "dn: cn=Ann Lee,mail=ann@x\r\ncn: Ann Lee\r\nmail: ann@x\r\ngivenname: Ann\r\n"
        "sn: Lee\r\nxqrvuid: abc42\r\n\r\n"
        "dn: cn=A,mail=\r\ncn: A\r\nsn: S\r\nxqrvuid: someone\r\n\r\n");
    app.ReadSwitches("/s /id abc42");  // no settings loaded: the book is not in the folder
    EXPECT_EQ(app.presetLastName, "");
    struct Case {
        const char *line, *last, *first, *email;
    };
    for (const Case& c : {Case{"/s /n  555 12 34 /idABC42 ", "Lee", "Ann", "ann@x"},
                          Case{"/s /id nobody", "", "", ""}, Case{"/s /id", "", "", ""},
                          Case{"/s /id someone", "S", "", ""}}) {
        CNetFaxApp a(imaging, boxes, clock);
        a.settings.directory.InstallPath = installPath;
        a.ReadSwitches(c.line);
        EXPECT_EQ(std::tie(a.presetLastName, a.presetFirstName, a.presetEmail),
                  std::make_tuple(c.last, c.first, c.email))
            << c.line;
    }
    std::filesystem::remove(installPath + "addrbook.ldif");
    app.settings.directory.InstallPath = installPath;
    app.ReadSwitches("/s /id abc42");
    EXPECT_EQ(app.presetLastName, "");
}

// Switches count only after "/s", outside quotes; a value ends at a switch, tab or line feed.
TEST_F(Switches, ReadOnlyAfterTheSendSwitch) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {"/s /n 5551234\tignored", 1, "5551234"},
        {"/s /n  555 12 34 /idABC42 ", 1, "555 12 34"},
        {"/s /n 777\nmore", 1, "777"},
        {"/s /n", 1, ""},
        {"/n 5551234 /id abc", 0, ""},
        {"/S /n 1", 0, ""},
        {"job \"/srv/spool/n/id.grp\"", 0, ""},
        {"/s /n \"555 1234\" /id abc \"/var/spool/x.grp\"", 1, "555 1234"},
    };
    for (const auto& [line, contact, number] : cases) {
        CNetFaxApp a(imaging, boxes, clock);
        a.ReadSwitches(line);
        EXPECT_EQ(std::tie(a.contactMode, a.attachMode, a.presetFaxNumber),
                  std::make_tuple(contact, contact, number))
            << line;
    }
}

TEST(CommandLineFromArgs, QuotesPathsAndTextWithBlanks) {
    auto line = [](std::vector<std::string> args) {
        std::vector<char*> argv;
        std::string prog = "sendfax";
        argv.push_back(prog.data());
        for (auto& a : args) argv.push_back(a.data());
        return CommandLineFromArgs(static_cast<int>(argv.size()), argv.data());
    };
    EXPECT_EQ(line({}), "");
    EXPECT_EQ(line({"/s", "/n", "555", "1234", "/id", "abc"}), "/s /n 555 1234 /id abc");
    EXPECT_EQ(line({"job", "/path/group file.grp"}), "job \"/path/group file.grp\"");
    EXPECT_EQ(line({"job", "/var/spool/x.grp"}), "job \"/var/spool/x.grp\"");
    EXPECT_EQ(line({"/s", "/n", "555 1234"}), "/s /n \"555 1234\"");
    EXPECT_EQ(line({"a", ""}), "a \"\"");
    EXPECT_EQ(line({"job \"/x y.grp\""}), "job \"/x y.grp\"");
}

TEST(ProgramArgs, DocumentsAreTakenOutAndTheProductsSwitchesPassOn) {
    TempFolder dir;
    dir.Write("report.pdf", "%PDF");
    dir.Write("555", "not a number's file");
    dir.Write("job.grp", "[Print Page Appended]");
    dir.Write("b.txt", "b");
    const std::string doc = dir.file("report.pdf"), grp = dir.file("job.grp"),
                      other = dir.file("b.txt"), folder = dir.file("");
    using A = ProgramArgs::Action;
    struct Case {
        std::vector<std::string> args;
        A action;
        std::vector<std::string> passOn, documents;
    };
    const std::vector<Case> cases = {
        {{}, A::Run, {}, {}},
        {{doc}, A::Run, {}, {doc}},
        {{grp}, A::Run, {grp}, {}},  // the driver's print, for start-up
        {{"/s", "/n", dir.file("555"), "/id", "x"},
         A::Run,
         {"/s", "/n", dir.file("555"), "/id", "x"},
         {}},
        {{"/s", doc}, A::Run, {"/s"}, {doc}},
        // Named together, kept together in their order; a folder is left to the wizard to refuse.
        {{other, folder, doc}, A::Run, {}, {other, folder, doc}},
        {{dir.file("gone.pdf")}, A::Run, {dir.file("gone.pdf")}, {}},
        {{doc, "--help"}, A::Help, {}, {}},
        {{"-v"}, A::Version, {}, {}},
        {{"--version", "--bogus"}, A::Version, {}, {}},
        {{"--bogus", doc}, A::BadUsage, {}, {}},
        {{"-platform", "offscreen", "--style=fusion", "-reverse"}, A::Run, {"offscreen"}, {}},
        // Qt's value is left here; the program parses again once Qt took it.
        {{"--settings", "-platform", "offscreen"}, A::BadUsage, {}, {}},
        {{"--settings"}, A::Settings, {}, {}},
        {{"--settings", doc}, A::BadUsage, {}, {}},
        {{"--settings", "--help"}, A::Help, {}, {}},
    };
    for (const Case& c : cases) {
        const ProgramArgs p = ParseProgramArgs(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args.front();
        EXPECT_EQ(p.action, c.action) << shown;
        if (c.action != A::Run) continue;
        EXPECT_EQ(p.passOn, c.passOn) << shown;
        EXPECT_EQ(p.documents, c.documents) << shown;
    }
    EXPECT_NE(ParseProgramArgs({"-x"}).error.toStdString().find("-x"), std::string::npos);
}

}  // namespace
