#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/RegistryKey.h"
#include "app/RegistryStore.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

const std::string kGeneral = "HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General";

struct Result {
    int rc = -1;
    std::string out;
    std::string err;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

class RegTool : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* bindir = std::getenv("CORVINAPORT_TEST_BINDIR");
        ASSERT_NE(bindir, nullptr);
        tool = std::string(bindir) + "/tools/reg/corvinaport-reg";
        ASSERT_TRUE(fs::exists(tool)) << tool;
        std::string tmpl = (fs::temp_directory_path() / "corvregtool-XXXXXX").string();
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir = tmpl;
        file = dir + "/etc/registry.reg";
    }
    void TearDown() override {
        SetRegistryStorePath(std::nullopt);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // Runs the tool with --file pointing at the test's store.
    Result Reg(std::vector<std::string> args) {
        args.insert(args.begin(), {"--file", file});
        return Run(args);
    }

    Result Run(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        argv.push_back(tool.data());
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        const std::string outPath = dir + "/out.txt";
        const std::string errPath = dir + "/err.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t pid = 0;
        Result r;
        if (posix_spawn(&pid, tool.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
            r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        posix_spawn_file_actions_destroy(&actions);
        r.out = ReadFile(outPath);
        r.err = ReadFile(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return r;
    }

    std::vector<std::string> FilesInStoreFolder() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(fs::path(file).parent_path())) {
            names.push_back(e.path().filename().string());
        }
        return names;
    }

    std::string tool;
    std::string dir;
    std::string file;
};

TEST_F(RegTool, WritesAStoreTheProgramReads) {
    ASSERT_EQ(Reg({"set", kGeneral, "WebmailUserName", "ann"}).rc, 0);
    ASSERT_EQ(Reg({"set", kGeneral, "WebmailPassword", "s3cr\"t \\ p\xc3\xa4ss", "--scramble"}).rc,
              0);
    ASSERT_EQ(Reg({"set", kGeneral, "AutoStart", "--dword", "0"}).rc, 0);
    ASSERT_EQ(Reg({"set", kGeneral, "FullWindow", "--dword", "0xFFFFFFFF"}).rc, 0);
    ASSERT_EQ(Reg({"set", "HKLM\\Software\\Quorvane\\Corvinaport\\Directory", "InstallPath",
                   "--expand", "/opt/corvinaport/"})
                  .rc,
              0);
    ASSERT_EQ(Reg({"set", "HKCR\\.htm", "@", "htmlfile"}).rc, 0);

    std::string text = ReadFile(file);
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
    EXPECT_EQ(text.find("s3cr"), std::string::npos) << "the password is stored scrambled";
    EXPECT_EQ(FilesInStoreFolder(), std::vector<std::string>{"registry.reg"})
        << "no temporary file is left behind";

    SetRegistryStorePath(file);
    AppSettings s;
    s.general.Load();
    s.directory.Load();
    EXPECT_EQ(s.general.WebmailUserName, "ann");
    EXPECT_EQ(s.general.WebmailPassword, "s3cr\"t \\ p\xc3\xa4ss");
    EXPECT_EQ(s.general.AutoStart, 0u);
    EXPECT_EQ(s.general.FullWindow, 0xFFFFFFFFu);
    EXPECT_EQ(s.directory.InstallPath, "/opt/corvinaport/");
    EXPECT_EQ(s.directory.LocalFolders, "/opt/corvinaport/Local Folders/");
    RegistryKey key;
    ASSERT_TRUE(key.SetRootKey(HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(key.SetKeyPath("Software\\Quorvane\\Corvinaport\\Directory"));
    EXPECT_EQ(key.GetValueType("InstallPath"), REG_EXPAND_SZ);
    ASSERT_TRUE(key.SetRootKey(HKEY_CLASSES_ROOT));
    ASSERT_TRUE(key.SetKeyPath(".htm"));
    EXPECT_EQ(key.ReadString("", ""), "htmlfile");
}

TEST_F(RegTool, KeepsEverythingElseInTheFile) {
    fs::create_directories(fs::path(file).parent_path());
    const std::string before =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "; maintained by the installer\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General]\n"
        "\"Gateway\"=\"gw_1\"\n"
        "this line is not understood\n"
        "\"EmailSuffix\"=\"old\"\n"
        "\"Blob\"=hex:01,02,\\\n"
        "  03\n"
        "\n"
        "[HKEY_CURRENT_USER\\Other]\n"
        "\"X\"=dword:00000001\n";
    WriteFile(file, before);
    ::chmod(file.c_str(), 0640);

    Result r = Reg({"set", kGeneral, "EMAILSUFFIX", "fax.example"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.err.find("1 line(s) not understood"), std::string::npos) << r.err;
    std::string expected = before;
    expected.replace(expected.find("\"EmailSuffix\"=\"old\""), 19,
                     "\"EMAILSUFFIX\"=\"fax.example\"");
    EXPECT_EQ(ReadFile(file), expected);

    ASSERT_EQ(Reg({"set", kGeneral, "Version", "2.0"}).rc, 0);
    expected.replace(expected.find("  03\n") + 5, 0, "\"Version\"=\"2.0\"\n");
    EXPECT_EQ(ReadFile(file), expected);

    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(RegTool, WritesThroughASymbolicLink) {
    fs::create_directories(dir + "/real");
    WriteFile(dir + "/real/store.reg", "Windows Registry Editor Version 5.00\r\n");
    fs::create_directories(fs::path(file).parent_path());
    fs::create_symlink(dir + "/real/store.reg", file);
    ASSERT_EQ(Reg({"set", kGeneral, "UserID", "u7"}).rc, 0);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(ReadFile(dir + "/real/store.reg").find("\"UserID\"=\"u7\""), std::string::npos);
}

TEST_F(RegTool, ListsAndDeletes) {
    ASSERT_EQ(Reg({"set", kGeneral, "A", "one"}).rc, 0);
    ASSERT_EQ(Reg({"set", kGeneral, "B", "--dword", "10"}).rc, 0);
    ASSERT_EQ(Reg({"set", kGeneral + "\\Sub", "C", "--expand", "x"}).rc, 0);
    ASSERT_EQ(Reg({"set", "HKEY_USERS\\Elsewhere", "D", "d"}).rc, 0);

    Result all = Reg({"list"});
    EXPECT_EQ(all.rc, 0);
    EXPECT_EQ(all.out, "[" + kGeneral +
                           "]\n    \"A\" = REG_SZ \"one\"\n    \"B\" = REG_DWORD 10 (0x0000000a)\n"
                           "[" +
                           kGeneral +
                           "\\Sub]\n    \"C\" = REG_EXPAND_SZ \"x\"\n"
                           "[HKEY_USERS\\Elsewhere]\n    \"D\" = REG_SZ \"d\"\n");
    Result part = Reg({"list", "hklm\\software\\quorvane"});
    EXPECT_EQ(part.rc, 0);
    EXPECT_EQ(part.out.find("Elsewhere"), std::string::npos);
    EXPECT_NE(part.out.find("\\Sub]"), std::string::npos);

    ASSERT_EQ(Reg({"delete", kGeneral, "a"}).rc, 0);
    EXPECT_EQ(Reg({"list", kGeneral}).out.find("\"A\""), std::string::npos);
    Result missing = Reg({"delete", kGeneral, "A"});
    EXPECT_EQ(missing.rc, 1);
    EXPECT_NE(missing.err.find("no value A"), std::string::npos);

    ASSERT_EQ(Reg({"delete", kGeneral}).rc, 0);
    Result gone = Reg({"list", kGeneral});
    EXPECT_EQ(gone.rc, 1);
    EXPECT_NE(gone.err.find("no key"), std::string::npos);
    EXPECT_EQ(Reg({"delete", kGeneral}).rc, 1);
    EXPECT_EQ(Reg({"list"}).out, "[HKEY_USERS\\Elsewhere]\n    \"D\" = REG_SZ \"d\"\n");
}

TEST_F(RegTool, RefusesBadUsageWithoutTouchingTheStore) {
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"set", kGeneral, "Name"},
        {"set", kGeneral, "Name", "a", "extra"},
        {"set", kGeneral, "Name", "--dword", "-1"},
        {"set", kGeneral, "Name", "--dword", "4294967296"},
        {"set", kGeneral, "Name", "--dword", "12abc"},
        {"set", kGeneral, "Name", "--dword", ""},
        {"set", kGeneral, "Name", "x", "--scramble", "--expand"},
        {"set", kGeneral, "Name", "x", "--verbose"},
        {"set", "HKEY_NOWHERE\\Software", "Name", "x"},
        {"set", "Software\\Quorvane", "Name", "x"},
        {"set", "HKLM\\Software\\\\Quorvane", "Name", "x"},
        {"set", "HKLM", "Name", "x"},
        {"set", kGeneral, "Name", std::string(255, 'x')},
        {"set", kGeneral, "Name", std::string(127, 'x'), "--scramble"},
        {"set", kGeneral, "Name", "bad \xff utf-8", "--expand"},
        {"list", kGeneral, "extra"},
        {"list", "nowhere"},
        {"delete"},
        {"delete", "HKLM"},
        {"delete", kGeneral, "Name", "extra"},
    };
    for (const auto& args : bad) {
        Result r = Reg(args);
        std::string shown;
        for (const auto& a : args) shown += "[" + a + "] ";
        EXPECT_EQ(r.rc, 2) << shown;
        EXPECT_NE(r.err.find("corvinaport-reg: "), std::string::npos) << shown;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << shown;
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(Run({"--file"}).rc, 2);

    // The longest values the program can read are accepted.
    EXPECT_EQ(Reg({"set", kGeneral, "Long", std::string(254, 'x')}).rc, 0);
    EXPECT_EQ(Reg({"set", kGeneral, "Pw", std::string(126, 'x'), "--scramble"}).rc, 0);
    SetRegistryStorePath(file);
    GeneralSettings g;
    g.Load();
    RegistryKey key;
    ASSERT_TRUE(key.SetRootKey(HKEY_LOCAL_MACHINE));
    ASSERT_TRUE(key.SetKeyPath("Software\\Quorvane\\Corvinaport\\General"));
    EXPECT_EQ(key.ReadString("Long", ""), std::string(254, 'x'));
    EXPECT_EQ(DescramblePassword(key.ReadString("Pw", "")), std::string(126, 'x'));
}

TEST_F(RegTool, UnreadableStoreIsReportedAndLeftAlone) {
    fs::create_directories(file);  // a folder where the file should be
    Result r = Reg({"set", kGeneral, "A", "x"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_EQ(Reg({"list"}).rc, 1);
}

TEST_F(RegTool, FindsTheStoreThroughTheEnvironment) {
    ::setenv("CORVINAPORT_REGISTRY", file.c_str(), 1);
    Result r = Run({"set", kGeneral, "Country", "NZ"});
    ::unsetenv("CORVINAPORT_REGISTRY");
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(ReadFile(file).find("\"Country\"=\"NZ\""), std::string::npos);
    EXPECT_EQ(Run({"--help"}).rc, 0);
}

}  // namespace
