#include "app/core/RegistryKey.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "support/TempStore.h"

namespace {

constexpr const char* kPath = "Software\\Quorvane\\Test";

class RegistryKeyTest : public ::testing::Test {
  protected:
    // The test key with these value lines.
    void WriteKey(const std::string& values) const {
        store.Write(kRegHeader + "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Test]\r\n" + values);
    }
    void Open() {
        ASSERT_TRUE(key.SetRootKey(HKEY_LOCAL_MACHINE));
        ASSERT_TRUE(key.SetKeyPath(kPath));
    }
    // An answer of the key and the error it left, in that order.
    std::pair<bool, int> Path(const std::string& path) {
        return {key.SetKeyPath(path), key.lastError};
    }
    std::pair<std::string, int> Text(const std::string& name, const std::string& dflt) {
        return {key.ReadString(name, dflt), key.lastError};
    }
    std::pair<std::uint32_t, int> Type(const std::string& name) {
        return {key.GetValueType(name), key.lastError};
    }
    TempStore store;
    RegistryKey key;
};

TEST_F(RegistryKeyTest, KeyPathIsRememberedOnlyWhenTheKeyOpens) {
    WriteKey("");
    ASSERT_TRUE(key.SetRootKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(Path("software\\QUORVANE\\test"), std::pair(true, 0));
    EXPECT_EQ(key.keyPath(), "software\\QUORVANE\\test");
    EXPECT_EQ(Path("Software\\Quorvane\\Missing"), std::pair(false, 2));
    EXPECT_EQ(key.keyPath(), "software\\QUORVANE\\test");
    EXPECT_EQ(Path("Software\\\\Quorvane"), std::pair(false, 161));

    // The same path under another root is another key.
    ASSERT_TRUE(key.SetRootKey(HKEY_CURRENT_USER));
    EXPECT_FALSE(key.SetKeyPath(kPath));

    EXPECT_TRUE(key.SetKeyPath(""));
    EXPECT_EQ(key.keyPath(), "");
}

TEST_F(RegistryKeyTest, MissingOrUnreadableStoreIsAnEmptyRegistry) {
    // No file at all.
    ASSERT_TRUE(key.SetRootKey(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(Path(kPath), std::pair(false, 2));

    // A folder where the file should be cannot be read.
    std::filesystem::create_directory(store.reg);
    EXPECT_EQ(Path(kPath), std::pair(false, 1016));
    EXPECT_EQ(Text("X", "dflt"), std::pair(std::string("dflt"), 1016));
    std::filesystem::remove(store.reg);

    // A FIFO is refused at once instead of blocking until a writer comes.
    ASSERT_EQ(::mkfifo(store.reg.c_str(), 0600), 0);
    EXPECT_EQ(Path(kPath), std::pair(false, 1016));
    std::filesystem::remove(store.reg);

    // Without read permission (only meaningful when not running as root).
    WriteKey("");
    ::chmod(store.reg.c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(Path(kPath), std::pair(false, 5));
    }
    ::chmod(store.reg.c_str(), 0600);
    EXPECT_TRUE(key.SetKeyPath(kPath));
}

TEST_F(RegistryKeyTest, ValueTypesAndNotFound) {
    WriteKey(
        "\"S\"=\"x\"\r\n\"E\"=hex(2):41,00,00,00\r\n\"D\"=dword:00000001\r\n"
        "\"B\"=hex:00\r\n\"Q\"=hex(b):00,00,00,00,00,00,00,00\r\n");
    Open();
    using T = std::pair<std::uint32_t, int>;
    EXPECT_EQ(
        (std::vector{Type("s"), Type("E"), Type("D"), Type("B"), Type("Q"), Type("Nope")}),
        (std::vector<T>{
            {REG_SZ, 0}, {REG_EXPAND_SZ, 0}, {REG_DWORD, 0}, {REG_BINARY, 0}, {11u, 0}, {0u, 2}}));

    // The key vanishes after it was opened: every read opens it anew.
    store.Write(kRegHeader);
    EXPECT_EQ(Type("S"), T(0u, 2));
    EXPECT_EQ(key.ReadString("S", "gone"), "gone");

    // While a ReadOnce lives the store is read once: all reads see that reading.
    WriteKey("\"S\"=\"x\"\r\n");
    {
        const RegistryKey::ReadOnce once(key);
        store.Write(kRegHeader);
        EXPECT_EQ(key.ReadString("S", "gone"), "x");
        EXPECT_EQ(key.GetValueType("S"), REG_SZ);
    }
    EXPECT_EQ(key.ReadString("S", "gone"), "gone");
}

// Strings fit 255 bytes with their end; numbers take 4 bytes of any type, low first.
TEST_F(RegistryKeyTest, ReadsTakeOnlyWhatFitsTheirBuffer) {
    const std::string longest(254, 'a');
    std::string umlauts;  // 127 two-byte characters fill 254 bytes
    for (int i = 0; i < 127; ++i) umlauts += "\xc3\xbc";
    WriteKey("\"Longest\"=\"" + longest + "\"\r\n" + "\"TooLong\"=\"" + longest + "a\"\r\n" +
             "\"Umlauts\"=\"" + umlauts + "\"\r\n" + "\"UmlautsTooLong\"=\"" + umlauts +
             "\xc3\xbc\"\r\n" +
             "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,78,00,00,00\r\n"
             "\"Multi\"=hex(7):41,00,00,00,00,00\r\n\"Empty\"=\"\"\r\n"
             "\"Dword\"=dword:deadbeef\r\n\"Binary4\"=hex:01,02,03,04\r\n\"Short\"=hex:01,02\r\n"
             "\"None\"=hex:\r\n\"Five\"=hex:01,02,03,04,05\r\n\"ShortText\"=\"ab\"\r\n");
    Open();
    const std::tuple<const char*, std::string, int> strings[] = {
        {"Longest", longest, 0},   {"TooLong", "d", 234},
        {"Umlauts", umlauts, 0},   {"UmlautsTooLong", "d", 234},
        {"Expand", "%HOME%/x", 0},  // not expanded
        {"Dword", "d", 1629},      {"Binary4", "d", 1629},
        {"Multi", "d", 1629},      {"Empty", "", 0},
        {"Missing", "d", 2},
    };
    for (const auto& [name, value, error] : strings)
        EXPECT_EQ(Text(name, "d"), std::pair(value, error)) << name;
    const std::tuple<const char*, std::uint32_t, int> numbers[] = {
        {"Dword", 0xdeadbeefu, 0}, {"Binary4", 0x04030201u, 0}, {"Short", 0x0201u, 0},
        {"None", 0u, 0},           {"ShortText", 0x6261u, 0},  // "ab" and its end
        {"Five", 7u, 234},         {"TooLong", 7u, 234},        {"Missing", 7u, 2},
    };
    for (const auto& [name, value, error] : numbers)
        EXPECT_EQ((std::pair{key.ReadNumber(name, 7), key.lastError}), std::pair(value, error))
            << name;
}

TEST_F(RegistryKeyTest, ReadsTheRootsOwnValuesWithAnEmptyPath) {
    store.Write(
        "[HKEY_CLASSES_ROOT]\n@=\"root default\"\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"htmlfile\"\n");
    ASSERT_TRUE(key.SetRootKey(HKEY_CLASSES_ROOT));
    EXPECT_EQ(key.ReadString("", "none"), "root default");
    ASSERT_TRUE(key.SetKeyPath(".htm"));
    EXPECT_EQ(key.ReadString("", "none"), "htmlfile");
}

}  // namespace
