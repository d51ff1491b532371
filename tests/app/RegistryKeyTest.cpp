#include "app/RegistryKey.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

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
    TempStore store;
    RegistryKey key;
};

TEST_F(RegistryKeyTest, KeyPathIsRememberedOnlyWhenTheKeyOpens) {
    WriteKey("");
    ASSERT_TRUE(key.SetRootKey(HKEY_LOCAL_MACHINE));
    EXPECT_TRUE(key.SetKeyPath("software\\QUORVANE\\test"));
    EXPECT_EQ(key.lastError, 0);
    EXPECT_EQ(key.keyPath(), "software\\QUORVANE\\test");

    EXPECT_FALSE(key.SetKeyPath("Software\\Quorvane\\Missing"));
    EXPECT_EQ(key.lastError, 2);
    EXPECT_EQ(key.keyPath(), "software\\QUORVANE\\test");
    EXPECT_FALSE(key.SetKeyPath("Software\\\\Quorvane"));
    EXPECT_EQ(key.lastError, 161);

    // The same path under another root is another key.
    ASSERT_TRUE(key.SetRootKey(HKEY_CURRENT_USER));
    EXPECT_FALSE(key.SetKeyPath(kPath));

    EXPECT_TRUE(key.SetKeyPath(""));
    EXPECT_EQ(key.keyPath(), "");
}

TEST_F(RegistryKeyTest, MissingOrUnreadableStoreIsAnEmptyRegistry) {
    // No file at all.
    ASSERT_TRUE(key.SetRootKey(HKEY_LOCAL_MACHINE));
    EXPECT_FALSE(key.SetKeyPath(kPath));
    EXPECT_EQ(key.lastError, 2);

    // A folder where the file should be cannot be read.
    std::filesystem::create_directory(store.reg);
    EXPECT_FALSE(key.SetKeyPath(kPath));
    EXPECT_EQ(key.lastError, 1016);
    EXPECT_EQ(key.ReadString("X", "dflt"), "dflt");
    EXPECT_EQ(key.lastError, 1016);
    std::filesystem::remove(store.reg);

    // A FIFO is refused at once instead of blocking until a writer comes.
    ASSERT_EQ(::mkfifo(store.reg.c_str(), 0600), 0);
    EXPECT_FALSE(key.SetKeyPath(kPath));
    EXPECT_EQ(key.lastError, 1016);
    std::filesystem::remove(store.reg);

    // Without read permission (only meaningful when not running as root).
    WriteKey("");
    ::chmod(store.reg.c_str(), 0);
    if (::geteuid() != 0) {
        EXPECT_FALSE(key.SetKeyPath(kPath));
        EXPECT_EQ(key.lastError, 5);
    }
    ::chmod(store.reg.c_str(), 0600);
    EXPECT_TRUE(key.SetKeyPath(kPath));
}

TEST_F(RegistryKeyTest, ValueTypesAndNotFound) {
    WriteKey(
        "\"S\"=\"x\"\r\n\"E\"=hex(2):41,00,00,00\r\n\"D\"=dword:00000001\r\n"
        "\"B\"=hex:00\r\n\"Q\"=hex(b):00,00,00,00,00,00,00,00\r\n");
    Open();
    EXPECT_EQ(key.GetValueType("s"), REG_SZ);
    EXPECT_EQ(key.GetValueType("E"), REG_EXPAND_SZ);
    EXPECT_EQ(key.GetValueType("D"), REG_DWORD);
    EXPECT_EQ(key.GetValueType("B"), REG_BINARY);
    EXPECT_EQ(key.GetValueType("Q"), 11u);
    EXPECT_EQ(key.lastError, 0);
    EXPECT_EQ(key.GetValueType("Nope"), 0u);
    EXPECT_EQ(key.lastError, 2);

    // The key vanishes after it was opened: every read opens it anew.
    store.Write(kRegHeader);
    EXPECT_EQ(key.GetValueType("S"), 0u);
    EXPECT_EQ(key.lastError, 2);
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

TEST_F(RegistryKeyTest, ReadStringTakesOnlyStringsThatFitTheBuffer) {
    const std::string longest(254, 'a');
    // 127 two-byte characters fill 254 bytes; one more does not fit.
    std::string umlauts;
    for (int i = 0; i < 127; ++i) umlauts += "\xc3\xbc";
    WriteKey("\"Longest\"=\"" + longest + "\"\r\n" + "\"TooLong\"=\"" + longest + "a\"\r\n" +
             "\"Umlauts\"=\"" + umlauts + "\"\r\n" + "\"UmlautsTooLong\"=\"" + umlauts +
             "\xc3\xbc\"\r\n" +
             "\"Expand\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,2f,00,78,00,00,00\r\n"
             "\"Number\"=dword:0000000a\r\n"
             "\"Binary\"=hex:41,42,00\r\n"
             "\"Multi\"=hex(7):41,00,00,00,00,00\r\n"
             "\"Empty\"=\"\"\r\n");
    Open();
    EXPECT_EQ(key.ReadString("Longest", "d"), longest);
    EXPECT_EQ(key.lastError, 0);
    EXPECT_EQ(key.ReadString("TooLong", "d"), "d");
    EXPECT_EQ(key.lastError, 234);
    EXPECT_EQ(key.ReadString("Umlauts", "d"), umlauts);
    EXPECT_EQ(key.ReadString("UmlautsTooLong", "d"), "d");
    EXPECT_EQ(key.ReadString("Expand", "d"), "%HOME%/x");  // not expanded
    for (const char* other : {"Number", "Binary", "Multi"}) {
        EXPECT_EQ(key.ReadString(other, "d"), "d") << other;
        EXPECT_EQ(key.lastError, 1629) << other;
    }
    EXPECT_EQ(key.ReadString("Empty", "d"), "");
    EXPECT_EQ(key.ReadString("Missing", "d"), "d");
    EXPECT_EQ(key.lastError, 2);
}

TEST_F(RegistryKeyTest, ReadNumberTakesFourBytesOfAnyType) {
    WriteKey(
        "\"Dword\"=dword:deadbeef\r\n"
        "\"Binary4\"=hex:01,02,03,04\r\n"
        "\"Short\"=hex:01,02\r\n"
        "\"None\"=hex:\r\n"
        "\"Five\"=hex:01,02,03,04,05\r\n"
        "\"ShortText\"=\"ab\"\r\n"
        "\"LongText\"=\"abcd\"\r\n");
    Open();
    EXPECT_EQ(key.ReadNumber("Dword", 7), 0xdeadbeefu);
    EXPECT_EQ(key.ReadNumber("Binary4", 7), 0x04030201u);
    // Shorter data fills the low bytes; the rest stays zero.
    EXPECT_EQ(key.ReadNumber("Short", 7), 0x0201u);
    EXPECT_EQ(key.lastError, 0);
    EXPECT_EQ(key.ReadNumber("None", 7), 0u);
    EXPECT_EQ(key.ReadNumber("ShortText", 7), 0x6261u);  // "ab" and its terminator
    EXPECT_EQ(key.ReadNumber("Five", 7), 7u);
    EXPECT_EQ(key.lastError, 234);
    EXPECT_EQ(key.ReadNumber("LongText", 7), 7u);  // five bytes with the terminator
    EXPECT_EQ(key.ReadNumber("Missing", 7), 7u);
    EXPECT_EQ(key.lastError, 2);
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
