// Taking over a printed image from the driver's files; printer checks on a fake spooler.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <cstdlib>
#include <thread>

#include "app/core/AppSettings.h"
#include "base/FileReplace.h"
#include "imaging/AheadSpooler.h"
#include "imaging/ImagingLibrary.h"
#include "imaging/IniFile.h"
#include "support/ScopedEnv.h"
#include "support/Staged.h"
#include "support/TestTiff.h"
#include "wizard/job/FaxJob.h"

namespace {

class FakeSpooler final : public PrintSpooler {
  public:
    std::optional<std::vector<std::string>> printers = std::vector<std::string>{};
    std::optional<std::vector<std::string>> drivers = std::vector<std::string>{};
    int asked = 0;
    std::thread::id askedOn;
    std::optional<std::vector<std::string>> LocalPrinters() override { return Asked(printers); }
    std::optional<std::vector<std::string>> InstalledDrivers() override { return Asked(drivers); }

  private:
    std::optional<std::vector<std::string>> Asked(
        const std::optional<std::vector<std::string>>& a) {
        ++asked;
        askedOn = std::this_thread::get_id();
        return a;
    }
};

// Names compare without case; no printers or no answer leaves it to the driver check.
TEST(PrinterChecks, NamesCompareWithoutCaseAndAnEmptySpoolerDoesNotVeto) {
    using List = std::optional<std::vector<std::string>>;
    auto owned = std::make_unique<FakeSpooler>();
    FakeSpooler& spooler = *owned;
    ImagingLibrary lib(std::move(owned));
    const struct {
        List names;
        bool printer, driver;
    } cases[] = {
        {std::vector<std::string>{"office", "ZEPHRIM"}, true, true},
        {std::vector<std::string>{"zephrim2", "zephri"}, false, false},
        {std::vector<std::string>{}, true, false},
        {std::nullopt, true, false},
    };
    for (const auto& c : cases) {
        spooler.printers = spooler.drivers = c.names;
        EXPECT_EQ(lib.PrinterPresent("zephrim"), c.printer) << c.names.has_value();
        EXPECT_EQ(lib.PrinterDriverPresent("zephrim"), c.driver) << c.names.has_value();
    }
}

// Asked ahead or not, the checks get the spooler's answers, each question
// asked once; ahead, on a thread of its own, finished before the spooler goes.
TEST(PrinterChecks, AskedAheadTheSameAnswersOnce) {
    for (const bool ahead : {false, true}) {
        for (const bool wanted : {false, true}) {
            auto owned = std::make_unique<FakeSpooler>();
            FakeSpooler& fake = *owned;
            fake.printers = fake.drivers = std::vector<std::string>{"ZEPHRIM"};
            {
                auto asking = std::make_unique<AheadSpooler>(std::move(owned));
                if (ahead) asking->Start();
                ImagingLibrary lib(std::move(asking));
                for (int round = 0; round < 2 && wanted; ++round) {
                    EXPECT_TRUE(lib.PrinterPresent("zephrim"));
                    EXPECT_TRUE(lib.PrinterDriverPresent("zephrim"));
                }
                if (!wanted) continue;
                EXPECT_EQ(fake.asked, 2) << ahead;
                EXPECT_EQ(fake.askedOn != std::this_thread::get_id(), ahead);
            }
        }
    }
}

TEST(PrinterChecks, CupsDriversFromModelFolders) {
    TempFolder dir;
    std::filesystem::create_directories(dir.path() + "vendor");
    WriteText(dir.path() + "vendor/office-laser.ppd.gz", "");
    WriteText(dir.path() + "fax.ppd", "*PPD-Adobe: \"4.3\"\n*ModelName: \"Zephrim\"\n");
    CupsSpooler cups;
    cups.modelFolders = {dir.path()};
    const auto drivers = cups.InstalledDrivers();
    ASSERT_TRUE(drivers.has_value());
    EXPECT_NE(std::find(drivers->begin(), drivers->end(), "office-laser"), drivers->end());
    EXPECT_NE(std::find(drivers->begin(), drivers->end(), "Zephrim"), drivers->end());
}

// The driver's files are read up to 1 MiB: at, one below and one above.
TEST(ProfileFile, ReadWholeUpToItsLimit) {
    TempFolder dir;
    const std::string tail = "[Current setting]\r\nName and Port=\"zephrim\"\r\n";
    for (const std::size_t size : {(1u << 20) - 1, 1u << 20, (1u << 20) + 1}) {
        const std::string path = dir.path() + "p" + std::to_string(size) + ".ini";
        WriteText(path, std::string(size - tail.size() - 2, ';') + "\r\n" + tail);
        const auto value = ReadProfileString(path, "current SETTING", "name and port");
        EXPECT_EQ(value, size <= (1u << 20) ? std::optional<std::string>("zephrim") : std::nullopt)
            << size;
    }
}

class HandOver : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(windir);
        std::filesystem::create_directories(dir.path() + "spool");
        directory.LocalFolders = dir.path() + "folders/";
        image = dir.path() + "spool/job42.tif";
        WriteBilevelTiff(image, 64, 16, 2, COMPRESSION_CCITTFAX3,
                         [](int, int x, int) { return x < 8; });
        printed = ReadText(image);
    }

    // The driver's files of the other road, with the given line ends.
    void WriteDriverSettings(const std::string& eol, const std::string& imagePath) {
        group = dir.path() + "spool/job42.grp";
        WriteText(windir + "/bi_group.ini",
                  "[Current setting]" + eol + "Name and Port=zephrim,FAX:" + eol + eol +
                      "[zephrim,FAX:]" + eol + "Groupfile name=" + group + eol);
        WriteText(group, "[Page1]" + eol + "Plane1=" + imagePath + eol);
    }
    void WriteCommandLineGroup(const std::string& eol, const std::string& imagePath) {
        group = dir.path() + "spool/print.grp";
        WriteText(group, "; printed by the fax printer" + eol + "[Print Page Appended]" + eol +
                             "  Image File Name = \"" + imagePath + "\"" + eol);
    }
    // A print waiting on one road; the command line the wizard is started with.
    std::string Pending(bool commandLine, const std::string& eol = "\r\n") {
        if (!Exists(image)) WriteText(image, printed);
        if (!commandLine) WriteDriverSettings(eol, image);
        if (!commandLine) return "";
        WriteCommandLineGroup(eol, image);
        return "sendfax \"" + group + "\"";
    }
    void ExpectTakenOver(bool ok) {
        ASSERT_TRUE(ok);
        EXPECT_TRUE(StagedIn(message.documentPath, directory.LocalFolders + "outbox/", "job42.tif"))
            << message.documentPath;
        EXPECT_EQ(ReadText(message.documentPath), printed);
        EXPECT_FALSE(Exists(image));
        EXPECT_FALSE(Exists(group));
    }

    TempFolder dir;
    std::string windir = dir.path() + "windows", image, group, printed;
    ScopedEnv windirEnv{"CORVINAPORT_WINDIR", windir};
    DirectorySettings directory;
    FaxMessage message;
    ImagingLibrary lib{std::make_unique<FakeSpooler>()};
};

// The group file on the command line, or the driver's settings, with either line end.
TEST_F(HandOver, BothRoadsWithEitherLineEnd) {
    EXPECT_TRUE(lib.IsNtPlatform());
    for (const bool commandLine : {true, false})
        for (const std::string eol : {"\r\n", "\n"}) {
            SCOPED_TRACE(eol.size());
            lib.SetNtPlatform(commandLine);
            const std::string line = Pending(commandLine, eol);
            ExpectTakenOver(
                lib.PrepareInitialDocument(commandLine ? "  " + line : line, directory, message));
        }
}

TEST_F(HandOver, RunningWizardOrPlainStartPicksUpAPendingPrint) {
    // A long-taken group file on the command line: the new print is found via bi_group.ini.
    WriteDriverSettings("\r\n", image);
    ExpectTakenOver(
        lib.PrepareInitialDocument("sendfax \"" + dir.path() + "old.grp\"", directory, message));
    // Nothing pending any more.
    message.documentPath.clear();
    EXPECT_FALSE(lib.PrepareInitialDocument("", directory, message));
    EXPECT_TRUE(message.documentPath.empty());
}

TEST_F(HandOver, SwitchStartsAndMissingEntriesGiveAttachMode) {
    WriteCommandLineGroup("\r\n", image);
    EXPECT_FALSE(lib.PrepareInitialDocument("/s /n 5551234 \"" + group + "\"", directory, message));
    EXPECT_FALSE(lib.PrepareFromCommandLine("", directory, message));
    EXPECT_FALSE(lib.PrepareFromCommandLine("sendfax", directory, message));
    EXPECT_FALSE(
        lib.PrepareFromCommandLine("sendfax \"" + dir.path() + "none.grp\"", directory, message));
    WriteText(group, "[Print Page Appended]\r\nOther Key=x\r\n");
    EXPECT_FALSE(lib.PrepareFromCommandLine("sendfax \"" + group + "\"", directory, message));
    WriteText(group, "[Print Page Appended]\r\nImage File Name=\r\n");
    EXPECT_FALSE(lib.PrepareFromCommandLine("sendfax \"" + group + "\"", directory, message));

    lib.SetNtPlatform(false);
    EXPECT_FALSE(lib.PrepareInitialDocument("", directory, message));  // no bi_group.ini
    WriteDriverSettings("\r\n", image);
    EXPECT_FALSE(lib.PrepareInitialDocument("/s", directory, message));
    WriteText(windir + "/bi_group.ini", "[Current setting]\r\nName and Port=\r\n");
    EXPECT_FALSE(lib.PrepareInitialDocument("", directory, message));
    WriteText(windir + "/bi_group.ini",
              "[Current setting]\r\nName and Port=zephrim\r\n[zephrim]\r\nGroupfile name=\r\n");
    EXPECT_FALSE(lib.PrepareInitialDocument("", directory, message));
    WriteDriverSettings("\r\n", image);
    WriteText(group, "[Page1]\r\nPlane2=" + image + "\r\n");
    EXPECT_FALSE(lib.PrepareInitialDocument("", directory, message));
    EXPECT_TRUE(message.documentPath.empty());
    EXPECT_TRUE(Exists(image));
}

TEST_F(HandOver, MissingImageOrFailedCopyKeepsThePrintedImage) {
    lib.SetNtPlatform(false);
    WriteDriverSettings("\r\n", dir.path() + "spool/gone.tif");
    EXPECT_FALSE(lib.PrepareInitialDocument("", directory, message));
    EXPECT_TRUE(message.documentPath.empty());

    // The outbox cannot be made: a file stands where the folder should be.
    WriteDriverSettings("\r\n", image);
    std::filesystem::create_directories(directory.LocalFolders);
    WriteText(directory.LocalFolders + "outbox", "in the way");
    EXPECT_FALSE(lib.PrepareInitialDocument("", directory, message));
    EXPECT_TRUE(message.documentPath.empty());
    EXPECT_EQ(ReadText(image), printed);
    EXPECT_TRUE(Exists(group));  // the print can be taken over later
    std::filesystem::remove(directory.LocalFolders + "outbox");
    ExpectTakenOver(lib.PrepareInitialDocument("", directory, message));
}

TEST_F(HandOver, OfWizardsToldAtOnceExactlyOneTakesThePrint) {
    // Both roads, each raced by two wizards of their own.
    for (const bool commandLine : {true, false}) {
        SCOPED_TRACE(commandLine);
        for (int round = 0; round < 10; ++round) {
            const std::string line = Pending(commandLine);
            ImagingLibrary first{std::make_unique<FakeSpooler>()},
                second{std::make_unique<FakeSpooler>()};
            FaxMessage a, b;
            bool tookA = false, tookB = false;
            std::thread other([&] { tookB = second.PrepareInitialDocument(line, directory, b); });
            tookA = first.PrepareInitialDocument(line, directory, a);
            other.join();
            ASSERT_NE(tookA, tookB);
            const std::string& taken = tookA ? a.documentPath : b.documentPath;
            EXPECT_TRUE(StagedIn(taken, directory.LocalFolders + "outbox/", "job42.tif"));
            EXPECT_EQ(ReadText(taken), printed);
            EXPECT_FALSE(Exists(group));
            EXPECT_TRUE(std::filesystem::is_empty(dir.path() + "spool"));
            RemoveStaged(taken);
        }
    }
}

TEST_F(HandOver, ImageAlreadyInTheOutboxIsNotLost) {
    std::filesystem::create_directories(directory.LocalFolders + "outbox");
    const std::string inside = directory.LocalFolders + "outbox/job42.tif";
    std::filesystem::rename(image, inside);
    WriteCommandLineGroup("\r\n", inside);
    ASSERT_TRUE(lib.PrepareInitialDocument("x \"" + group + "\"", directory, message));
    EXPECT_TRUE(StagedIn(message.documentPath, directory.LocalFolders + "outbox/", "job42.tif"));
    EXPECT_EQ(ReadText(message.documentPath), printed);
}

TEST_F(HandOver, PathsTooLongForTheFixedBuffersAreRefused) {
    const std::string longName = std::string(240, 'n') + ".tif";
    WriteCommandLineGroup("\r\n", dir.path() + "spool/" + longName);
    WriteText(dir.path() + "spool/" + longName, printed);
    EXPECT_FALSE(lib.PrepareInitialDocument("x \"" + group + "\"", directory, message));
    EXPECT_TRUE(Exists(dir.path() + "spool/" + longName));
    // A name fitting where it lies but not once staged: declined, no folder left.
    const std::string staged =
        dir.path() + "spool/" + std::string(250 - dir.path().size() - 10, 's') + ".tif";
    ASSERT_LT(staged.size(), 260u);
    WriteText(staged, printed);
    WriteCommandLineGroup("\r\n", staged);
    EXPECT_FALSE(lib.PrepareInitialDocument("x \"" + group + "\"", directory, message));
    EXPECT_TRUE(Exists(staged));
    EXPECT_TRUE(std::filesystem::is_empty(directory.LocalFolders + "outbox"));
    WriteCommandLineGroup("\r\n", "/" + std::string(300, 'p') + ".tif");
    EXPECT_FALSE(lib.PrepareInitialDocument("x \"" + group + "\"", directory, message));
    EXPECT_TRUE(message.documentPath.empty());
}

}  // namespace
