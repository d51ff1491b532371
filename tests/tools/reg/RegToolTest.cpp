#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/RegistryKey.h"
#include "app/core/RegistryStore.h"
#include "support/Command.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

const std::string kGeneral = "HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General";

struct Result {
    int rc = -1;
    std::string out, err;
};

class RegTool : public ::testing::Test {
  protected:
    void TearDown() override { SetRegistryStorePath(std::nullopt); }

    // Runs the tool with --file naming the test's store.
    Result Reg(std::vector<std::string> args) {
        args.insert(args.begin(), {"--file", file});
        return Run(args);
    }
    Result Run(const std::vector<std::string>& args) {
        std::string command = ShellWord(Bin("tools/reg/corvinaport-reg"));
        for (const auto& a : args) command += " " + ShellWord(a);
        const CommandResult run = RunCommand(command + " 2>" + ShellWord(dir.file("err")));
        return {run.status, run.out, dir.Read("err")};
    }
    // The program's view of the store.
    static RegistryKey Key(HKEY root, const char* path) {
        RegistryKey key;
        EXPECT_TRUE(key.SetRootKey(root) && key.SetKeyPath(path));
        return key;
    }

    TempFolder dir;
    std::string file = dir.file("etc/registry.reg");
};

TEST_F(RegTool, WritesAStoreTheProgramReads) {
    const std::string password = "s3cr\"t \\ p\xc3\xa4ss";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"set", kGeneral, "WebmailUserName", "ann"},
             {"set", kGeneral, "WebmailPassword", password, "--scramble"},
             {"set", kGeneral, "AutoStart", "--dword", "0"},
             {"set", kGeneral, "FullWindow", "--dword", "0xFFFFFFFF"},
             {"set", "HKLM\\Software\\Quorvane\\Corvinaport\\Directory", "InstallPath", "--expand",
              "/opt/corvinaport/"},
             {"set", "HKCR\\.htm", "@", "htmlfile"},
             {"set", kGeneral, "Long", std::string(254, 'x')},  // the longest the program reads
             {"set", kGeneral, "Pw", std::string(126, 'x'), "--scramble"}})
        ASSERT_EQ(Reg(args).rc, 0) << args[2];

    const std::string text = dir.Read("etc/registry.reg");
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u);
    EXPECT_EQ(text.find("s3cr"), std::string::npos) << "the password is stored scrambled";
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.file("etc")), fs::directory_iterator()), 1)
        << "no temporary file is left behind";

    SetRegistryStorePath(file);
    AppSettings s;
    s.general.Load();
    s.directory.Load();
    EXPECT_EQ(std::tie(s.general.WebmailUserName, s.general.WebmailPassword,
                       s.directory.LocalFolders, s.general.AutoStart, s.general.FullWindow),
              std::make_tuple("ann", password, "/opt/corvinaport/Local Folders/", 0u, 0xFFFFFFFFu));
    EXPECT_EQ(Key(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Corvinaport\\Directory")
                  .GetValueType("InstallPath"),
              REG_EXPAND_SZ);
    EXPECT_EQ(Key(HKEY_CLASSES_ROOT, ".htm").ReadString("", ""), "htmlfile");
    RegistryKey general = Key(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Corvinaport\\General");
    EXPECT_EQ(general.ReadString("Long", ""), std::string(254, 'x'));
    EXPECT_EQ(DescramblePassword(general.ReadString("Pw", "")), std::string(126, 'x'));
}

TEST_F(RegTool, KeepsEverythingElseInTheFileAndItsPermissions) {
    fs::create_directories(dir.file("etc"));
    const std::string before =
        "Windows Registry Editor Version 5.00\n\n; maintained by the installer\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General]\n"
        "\"Gateway\"=\"gw_1\"\nthis line is not understood\n\"EmailSuffix\"=\"old\"\n"
        "\"Blob\"=hex:01,02,\\\n  03\n\n[HKEY_CURRENT_USER\\Other]\n\"X\"=dword:00000001\n";
    dir.Write("etc/registry.reg", before);
    fs::permissions(file, fs::perms(0640));

    Result r = Reg({"set", kGeneral, "EMAILSUFFIX", "fax.example"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.err.find("1 line(s) not understood"), std::string::npos) << r.err;
    std::string expected = before;
    expected.replace(expected.find("\"EmailSuffix\"=\"old\""), 19,
                     "\"EMAILSUFFIX\"=\"fax.example\"");
    EXPECT_EQ(dir.Read("etc/registry.reg"), expected);

    ASSERT_EQ(Reg({"set", kGeneral, "Version", "2.0"}).rc, 0);
    expected.insert(expected.find("  03\n") + 5, "\"Version\"=\"2.0\"\n");
    EXPECT_EQ(dir.Read("etc/registry.reg"), expected);
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
}

TEST_F(RegTool, WritesThroughASymbolicLink) {
    dir.Write("store.reg", "Windows Registry Editor Version 5.00\r\n");
    fs::create_directories(dir.file("etc"));
    fs::create_symlink(dir.file("store.reg"), file);
    ASSERT_EQ(Reg({"set", kGeneral, "UserID", "u7"}).rc, 0);
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_NE(dir.Read("store.reg").find("\"UserID\"=\"u7\""), std::string::npos);
}

TEST_F(RegTool, ListsAndDeletes) {
    ASSERT_EQ(Reg({"set", kGeneral, "A", "one"}).rc, 0);
    ASSERT_EQ(Reg({"set", kGeneral, "B", "--dword", "10"}).rc, 0);
    ASSERT_EQ(Reg({"set", kGeneral + "\\Sub", "C", "--expand", "x"}).rc, 0);
    ASSERT_EQ(Reg({"set", "HKEY_USERS\\Elsewhere", "D", "d"}).rc, 0);
    const std::string elsewhere = "[HKEY_USERS\\Elsewhere]\n    \"D\" = REG_SZ \"d\"\n";
    EXPECT_EQ(Reg({"list"}).out, "[" + kGeneral +
                                     "]\n    \"A\" = REG_SZ \"one\"\n"
                                     "    \"B\" = REG_DWORD 10 (0x0000000a)\n[" +
                                     kGeneral + "\\Sub]\n    \"C\" = REG_EXPAND_SZ \"x\"\n" +
                                     elsewhere);
    Result part = Reg({"list", "hklm\\software\\quorvane"});
    EXPECT_EQ(part.out.find("Elsewhere"), std::string::npos);
    EXPECT_NE(part.out.find("\\Sub]"), std::string::npos);

    ASSERT_EQ(Reg({"delete", kGeneral, "a"}).rc, 0);
    Result missing = Reg({"delete", kGeneral, "A"});
    EXPECT_EQ(missing.rc, 1);
    EXPECT_NE(missing.err.find("no value A"), std::string::npos);
    ASSERT_EQ(Reg({"delete", kGeneral}).rc, 0);
    Result gone = Reg({"list", kGeneral});
    EXPECT_EQ(gone.rc, 1);
    EXPECT_NE(gone.err.find("no key"), std::string::npos);
    EXPECT_EQ(Reg({"list"}).out, elsewhere);
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
        EXPECT_EQ(r.rc, 2) << r.err;
        EXPECT_NE(r.err.find("corvinaport-reg: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("usage:"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(Run({"--file"}).rc, 2);
    EXPECT_EQ(Run({"--help"}).rc, 0);
}

TEST_F(RegTool, UnreadableStoreIsReportedAndLeftAlone) {
    fs::create_directories(file);  // a folder where the file should be
    Result r = Reg({"set", kGeneral, "A", "x"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::is_directory(file) && Reg({"list"}).rc == 1);
}

TEST_F(RegTool, FindsTheStoreThroughTheEnvironment) {
    const ScopedEnv env("CORVINAPORT_REGISTRY", file);
    Result r = Run({"set", kGeneral, "Country", "NZ"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(dir.Read("etc/registry.reg").find("\"Country\"=\"NZ\""), std::string::npos);
}

// Without --file each user writes a private store; --system the machine's beneath.
TEST_F(RegTool, WritesTheUsersStoreUnlessToldSystem) {
    const ScopedEnv one("CORVINAPORT_REGISTRY", "");
    const ScopedEnv system("CORVINAPORT_SYSTEM_REGISTRY", file);
    for (const char* user : {"ann", "bob"}) {
        const ScopedEnv config("XDG_CONFIG_HOME", dir.file(user));
        ASSERT_EQ(Run({"set", kGeneral, "WebmailUserName", user}).rc, 0);
    }
    ASSERT_EQ(Run({"--system", "set", kGeneral, "Country", "NZ"}).rc, 0);
    EXPECT_EQ(Run({"--system", "--file", file, "list"}).rc, 2);
    const auto mode = [](const std::string& p) {
        return fs::status(p).permissions() & fs::perms::all;
    };
    for (const std::string user : {"ann", "bob"}) {
        const std::string store = dir.file(user + "/corvinaport/registry.reg");
        EXPECT_NE(dir.Read(user + "/corvinaport/registry.reg").find("=\"" + user + "\""),
                  std::string::npos);
        EXPECT_EQ(dir.Read(user + "/corvinaport/registry.reg").find("NZ"), std::string::npos);
        EXPECT_EQ(mode(store), fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(mode(dir.file(user + "/corvinaport")), fs::perms::owner_all);
    }
    EXPECT_NE(dir.Read("etc/registry.reg").find("\"Country\"=\"NZ\""), std::string::npos);
    EXPECT_EQ(dir.Read("etc/registry.reg").find("WebmailUserName"), std::string::npos);
}

}  // namespace
