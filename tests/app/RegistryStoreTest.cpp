#include "app/core/RegistryStore.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "app/core/RegistryKey.h"

namespace {

constexpr const char* kKey = "HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General";

const char* kExport =
    "Windows Registry Editor Version 5.00\r\n\r\n; written by hand\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\General]\r\n"
    "\"Plain\"=\"a \\\"quoted\\\" C:\\\\dir\\\\\"\r\n\"Count\"=dword:0000000a\r\n"
    "\"Spool\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,\\\r\n  66,00,61,00,78,00,00,00\r\n"
    "\"Blob\"=hex:de,ad,BE,ef\r\n\"Empty\"=hex:\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n\"Big\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "@=\"default text\"\r\n\r\n";

TEST(RegistryDocument, ReadsEveryValueFormOfTheExport) {
    RegistryDocument doc = RegistryDocument::Parse(kExport);
    EXPECT_EQ(doc.skippedLines(), 0);

    using namespace std::string_literals;
    const std::tuple<const char*, std::uint32_t, std::string> values[] = {
        {"Plain", REG_SZ, "a \"quoted\" C:\\dir\\"},
        {"Count", REG_DWORD, "\x0a\0\0\0"s},
        {"Spool", REG_EXPAND_SZ, "%TEMP%\\fax\0"s},
        {"Blob", REG_BINARY, "\xde\xad\xbe\xef"s},
        {"Empty", REG_BINARY, ""s},
        {"Multi", 7u, "a\0b\0\0"s},
        {"Big", 11u, std::string(1, '\x01') + std::string(7, '\0')},  // hex(b): a hexadecimal type
        {"", REG_SZ, "default text"},
    };
    for (const auto& [name, type, data] : values) {
        const RegistryValue* v = doc.FindValue(kKey, name);
        ASSERT_NE(v, nullptr) << name;
        EXPECT_EQ(v->type, type) << name;
        EXPECT_EQ(type == REG_SZ ? v->Text() : v->data, data) << name;  // strings as text
    }
}

TEST(RegistryDocument, SkipsMalformedLinesAndReadsTheRest) {
    RegistryDocument doc = RegistryDocument::Parse(
        "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\Software\\A]\n"
        "\"Before\"=\"1\"\ngarbage without quotes\n\"Unterminated\"=\"abc\n"
        "\"TooWide\"=dword:123456789\n"
        "\"NotHex\"=dword:0000000g\n\"BadByte\"=hex:01,zz\n\"ByteTooWide\"=hex:100\n"
        "\"Trailing\"=\"x\" junk\n\"NoEquals\" \"x\"\n\"BrokenTail\"=hex:01,\\\n  02,xx\n"
        "\"After\"=\"2\"\n[HKEY_NOWHERE\\Software\\A]\n\"Lost\"=\"x\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\A\n\"AlsoLost\"=\"x\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\B]\n\"Last\"=dword:00000001\n");
    EXPECT_EQ(doc.skippedLines(), 11);
    EXPECT_NE(doc.FindValue("HKEY_LOCAL_MACHINE\\Software\\A", "Before"), nullptr);
    EXPECT_NE(doc.FindValue("HKEY_LOCAL_MACHINE\\Software\\A", "After"), nullptr);
    EXPECT_NE(doc.FindValue("HKEY_LOCAL_MACHINE\\Software\\B", "Last"), nullptr);
    EXPECT_EQ(doc.Values("HKEY_LOCAL_MACHINE\\Software\\A").size(), 2u);
}

TEST(RegistryDocument, NamesIgnoreCaseAndParentsExist) {
    RegistryDocument doc = RegistryDocument::Parse(
        "[hkey_local_machine\\SOFTWARE\\Quorvane\\Corvinaport\\General]\n"
        "\"WEBMAILUSERNAME\"=\"ann\"\n");
    EXPECT_EQ(doc.FindValue(kKey, "WebmailUserName")->Text(), "ann");
    EXPECT_TRUE(doc.KeyExists("HKEY_LOCAL_MACHINE\\Software\\Quorvane"));
    EXPECT_TRUE(doc.KeyExists("HKEY_LOCAL_MACHINE\\software\\quorvane\\corvinaport\\general\\"));
    EXPECT_TRUE(doc.KeyExists("HKEY_USERS"));  // roots always exist
    EXPECT_FALSE(doc.KeyExists("HKEY_LOCAL_MACHINE\\Software\\Quorv"));
    EXPECT_FALSE(doc.KeyExists("HKEY_LOCAL_MACHINE\\Software\\Quorvane\\Corvinaport\\Gen"));
    EXPECT_FALSE(doc.KeyExists("HKEY_LOCAL_MACHINE\\Software\\\\Quorvane"));
    EXPECT_FALSE(doc.KeyExists("HKEY_CURRENT_USER\\Software\\Quorvane"));
}

TEST(RegistryDocument, LaterDefinitionsWinAndDeletionsAreIgnored) {
    RegistryDocument doc = RegistryDocument::Parse(
        "[HKEY_LOCAL_MACHINE\\Software\\A]\n\"X\"=\"first\"\n\"Y\"=\"kept\"\n"
        "[-HKEY_LOCAL_MACHINE\\Software\\A]\n\"Z\"=\"inside a deletion\"\n"
        "[HKEY_LOCAL_MACHINE\\Software\\a]\n\"x\"=\"second\"\n\"Y\"=-\n");
    EXPECT_EQ(doc.skippedLines(), 0);
    EXPECT_EQ(doc.FindValue("HKEY_LOCAL_MACHINE\\Software\\A", "X")->Text(), "second");
    EXPECT_EQ(doc.FindValue("HKEY_LOCAL_MACHINE\\Software\\A", "Z"), nullptr);
    std::vector<std::string> values;
    for (const auto& v : doc.Values("HKEY_LOCAL_MACHINE\\Software\\A")) values.push_back(v.Text());
    EXPECT_EQ(values, (std::vector<std::string>{"second", "kept"}));
    EXPECT_EQ(doc.KeyPaths().size(), 1u);
}

TEST(RegistryDocument, DecodesUtf16FilesAndBrokenText) {
    std::string text =
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\S]\r\n"
        "\"Name\"=\"Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x93\xa0\"\r\n";
    std::string bytes = "\xff\xfe" + *Utf8ToUtf16le(text);
    RegistryDocument doc = RegistryDocument::ParseFileBytes(bytes);
    ASSERT_NE(doc.FindValue("HKEY_LOCAL_MACHINE\\S", "Name"), nullptr);
    EXPECT_EQ(doc.FindValue("HKEY_LOCAL_MACHINE\\S", "Name")->Text(),
              "Gr\xc3\xbc\xc3\x9f \xe2\x82\xac \xf0\x9f\x93\xa0");
    // A UTF-8 byte-order mark is skipped too.
    doc = RegistryDocument::ParseFileBytes("\xef\xbb\xbf" + text);
    EXPECT_NE(doc.FindValue("HKEY_LOCAL_MACHINE\\S", "Name"), nullptr);
    // Broken input: refused, or a question mark for what cannot be read.
    EXPECT_FALSE(Utf8ToUtf16le("\xc3").has_value());                     // cut sequence
    EXPECT_FALSE(Utf8ToUtf16le("\xc0\xaf").has_value());                 // overlong
    EXPECT_FALSE(Utf8ToUtf16le("\xed\xa0\x80").has_value());             // surrogate
    EXPECT_EQ(Utf16leToUtf8(std::string("\x00\xd8\x41\x00", 4)), "?A");  // lone high surrogate
    EXPECT_EQ(Utf16leToUtf8(std::string("\x41\x00\x42", 3)), "A?");      // odd byte count
}

TEST(RegistryDocument, NewValuesAndKeysReadBack) {
    RegistryDocument doc = RegistryDocument::Parse("");
    doc.SetValue("HKLM\\Software\\New", RegistryValue::String("Text", "quote \" and \\"));
    doc.SetValue("HKLM\\Software\\New", RegistryValue::String("Lines", "one\ntwo"));
    doc.SetValue("HKLM\\Software\\New", RegistryValue::String("Path", "%HOME%/x", REG_EXPAND_SZ));
    std::string longBlob;
    for (int i = 0; i < 300; ++i) longBlob.push_back(static_cast<char>(i));
    RegistryValue blob{"Blob", REG_BINARY, longBlob};
    doc.SetValue("HKLM\\Software\\New", blob);
    doc.SetValue("HKLM\\Software\\Other", RegistryValue::Dword("N", 0xfffffffe));
    std::string text = doc.Serialize();
    EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n\r\n", 0), 0u);
    EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\Software\\New]\r\n"), std::string::npos);
    EXPECT_NE(text.find("\"Path\"=hex(2):25,00,48,00"), std::string::npos);
    EXPECT_NE(text.find("\"N\"=dword:fffffffe"), std::string::npos);
    for (std::size_t start = 0, end; (end = text.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        EXPECT_LE(end - start, 80u) << "line wrapped as the editor wraps hex lists";
    }

    RegistryDocument back = RegistryDocument::Parse(text);
    EXPECT_EQ(back.skippedLines(), 0);
    const char* k = "HKEY_LOCAL_MACHINE\\Software\\New";
    for (const auto& [name, type, text] : {std::tuple{"Text", REG_SZ, "quote \" and \\"},
                                           {"Lines", REG_SZ, "one\ntwo"},
                                           {"Path", REG_EXPAND_SZ, "%HOME%/x"}})
        EXPECT_EQ(std::tuple(back.FindValue(k, name)->type, back.FindValue(k, name)->Text()),
                  std::tuple(type, std::string(text)));
    EXPECT_EQ(back.FindValue(k, "Blob")->data, longBlob);
    EXPECT_EQ(back.FindValue("HKEY_LOCAL_MACHINE\\Software\\Other", "N")->data, "\xfe\xff\xff\xff");
    EXPECT_EQ(back.Serialize(), text);
}

TEST(RegistryDocument, DeletesValuesAndWholeSubtrees) {
    RegistryDocument doc = RegistryDocument::Parse(
        "[HKEY_USERS\\A]\n\"X\"=\"1\"\n\"Y\"=\"2\"\n[HKEY_USERS\\A\\Sub]\n\"Z\"=\"3\"\n"
        "[HKEY_USERS\\AB]\n\"W\"=\"4\"\n");
    EXPECT_TRUE(doc.DeleteValue("HKEY_USERS\\a", "x"));
    EXPECT_FALSE(doc.DeleteValue("HKEY_USERS\\A", "X"));
    EXPECT_EQ(doc.FindValue("HKEY_USERS\\A", "X"), nullptr);
    EXPECT_NE(doc.FindValue("HKEY_USERS\\A", "Y"), nullptr);
    EXPECT_EQ(doc.DeleteKey("HKEY_USERS\\A"), 2);
    EXPECT_FALSE(doc.KeyExists("HKEY_USERS\\A\\Sub"));
    EXPECT_TRUE(doc.KeyExists("HKEY_USERS\\AB"));  // a name that merely starts alike stays
    EXPECT_EQ(doc.DeleteKey("HKEY_USERS"), 0);     // a root cannot be deleted
}

}  // namespace
