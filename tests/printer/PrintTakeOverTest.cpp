// The fax printer's files, as its backend writes them, read by the wizard's
// own hand-over code: both roads, the command line the watcher gives and the
// bi_group.ini a "KESTRO message" makes the wizard read.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/AppSettings.h"
#include "imaging/ImagingLibrary.h"
#include "support/Staged.h"
#include "support/TempFolder.h"
#include "wizard/FaxJob.h"

namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command) {
    std::string output;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return "popen failed";
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) output += buffer;
    const int status = pclose(pipe);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "failed: " + output;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class PrintTakeOverTest : public testing::Test {
  protected:
    void SetUp() override {
        cwd_ = fs::current_path();
        backend_ = ZEPHRIM_BACKEND;
        fs::create_directories(root_ + "spool");
        fs::create_directories(root_ + "local");
        directory_.LocalFolders = root_ + "local/";
        const passwd* pw = getpwuid(getuid());
        ASSERT_NE(pw, nullptr);
        user_ = pw->pw_name;
        folder_ = root_ + "spool/" + user_ + "/";
        pdf_ = root_ + "three.pdf";
        std::ofstream(root_ + "three.ps")
            << "%!PS\n/Helvetica findfont 24 scalefont setfont\n"
               "1 1 3 { 72 700 moveto (Page ) show 3 string cvs show showpage } for\n";
        ASSERT_EQ(Shell("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile=" +
                        Quoted(pdf_) + " " + Quoted(root_ + "three.ps")),
                  "");
        ASSERT_TRUE(imaging_.Bind());
    }
    void TearDown() override {
        fs::current_path(cwd_);
        unsetenv("CORVINAPORT_WINDIR");
    }

    // Prints the PDF as job `job` through the backend; answers the group file.
    std::string Print(int job) {
        const std::string result =
            Shell("DEVICE_URI=" + Quoted("zephrim:" + root_ + "spool") + " " + Quoted(backend_) +
                  " " + std::to_string(job) + " " + Quoted(user_) + " title 1 '' <" + Quoted(pdf_));
        EXPECT_EQ(result, "");
        for (const auto& entry : fs::directory_iterator(folder_)) {
            std::string name = entry.path().filename().string();
            if (name.rfind("fax-" + std::to_string(job) + "-", 0) == 0 &&
                entry.path().extension() == ".grp")
                return name;
        }
        return {};
    }

    TempFolder tmp_;
    std::string backend_, root_ = tmp_.path(), user_, folder_, pdf_;
    fs::path cwd_;
    DirectorySettings directory_;
    ImagingLibrary imaging_;
};

TEST_F(PrintTakeOverTest, TheWizardTakesBothRoadsOverAndCountsThePages) {
    // Started by the watcher: in the driver folder, the group file named
    // relative to it.
    const std::string first = Print(1);
    ASSERT_FALSE(first.empty());
    const std::string image = folder_ + first.substr(0, first.size() - 4) + ".tif";
    ASSERT_TRUE(fs::exists(image));
    fs::current_path(folder_);
    setenv("CORVINAPORT_WINDIR", folder_.c_str(), 1);
    const std::string commandLine = "/print \"" + first + "\"";
    FaxMessage message;
    ASSERT_TRUE(imaging_.PrepareInitialDocument(commandLine, directory_, message));
    EXPECT_TRUE(StagedIn(message.documentPath, directory_.LocalFolders + "outbox/",
                         fs::path(image).filename().string()));
    EXPECT_EQ(imaging_.CountImages(message.documentPath), 3u);
    EXPECT_FALSE(fs::exists(folder_ + first));
    EXPECT_FALSE(fs::exists(image));

    // A second print while that wizard runs: the message makes it read
    // bi_group.ini, its own command line naming a group file that is gone.
    const std::string second = Print(2);
    ASSERT_FALSE(second.empty());
    FaxMessage again;
    ASSERT_TRUE(imaging_.PrepareInitialDocument(commandLine, directory_, again));
    EXPECT_NE(again.documentPath, message.documentPath);
    EXPECT_EQ(imaging_.CountImages(again.documentPath), 3u);
    EXPECT_FALSE(fs::exists(folder_ + second));

    // Nothing more is pending: a further message takes nothing over.
    FaxMessage none;
    EXPECT_FALSE(imaging_.PrepareInitialDocument(commandLine, directory_, none));
}

}  // namespace
