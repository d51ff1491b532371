#include "app/core/AppSettings.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "support/ScopedEnv.h"
#include "support/TempStore.h"

namespace {

const std::string kGeneral = ProductKey("General"), kConnection = ProductKey("Connection"),
                  kDirectory = ProductKey("Directory");

// Every value lands in its own member (stored as "=" and its name); passwords descrambled.
TEST(GeneralSettings, LoadsEveryValueAndDescramblesPasswords) {
    using G = GeneralSettings;
    // The value named as the member it is loaded into.
#define VALUE(member) std::pair<const char*, std::string G::*>(#member, &G::member)
    const std::pair<const char*, std::string G::*> plain[] = {
        VALUE(WebmailServer),  VALUE(WebmailUserName), VALUE(UserEmail),   VALUE(UserPopServer),
        VALUE(UserSmtpServer), VALUE(UserPopUserName), VALUE(Bundle),      VALUE(EmailSuffix),
        VALUE(Version),        VALUE(UserID),          VALUE(ProductName), VALUE(ProductLevel),
        VALUE(TechSupport),    VALUE(Lastcommand),     VALUE(LeftNavXml),  VALUE(TopNavXml),
        VALUE(BannerString),   VALUE(MachineName),     VALUE(TimeZone),    VALUE(Country)};
#undef VALUE
    // "AB60A6" and "0532" are "hi" and "A" scrambled.
    std::string text = kRegHeader + kGeneral + Sz("Gateway", "abc_12_x") +
                       Sz("WebmailPassword", "AB60A6") + Sz("UserPopPassword", "0532") +
                       "\"UseSignature\"=dword:00000000\r\n\"AutoStart\"=dword:00000000\r\n"
                       "\"FullWindow\"=dword:00000002\r\n";
    for (const auto& [name, member] : plain) text += Sz(name, std::string("=") + name);
    TempStore store;
    store.Write(text);
    GeneralSettings g;
    g.Load();
    for (const auto& [name, member] : plain) EXPECT_EQ(g.*member, std::string("=") + name);
    EXPECT_EQ(std::tie(g.Gateway, g.WebmailPassword, g.UserPopPassword),
              std::make_tuple("abc", "hi", "A"));
    EXPECT_EQ(std::vector<std::uint32_t>({g.UseSignature, g.AutoStart, g.FullWindow}),
              std::vector<std::uint32_t>({0, 0, 2}));
}

TEST(GeneralSettings, DefaultsForMissingOrUnsuitableValues) {
    TempStore store;
    GeneralSettings g;
    store.Write(kRegHeader + kGeneral + Sz("Gateway", "nounderscore") +
                "\"WebmailUserName\"=dword:00000001\r\n" + Sz("UserEmail", std::string(255, 'x')) +
                Sz("WebmailPassword", "not hex!"));
    g.Load();
    // A number is not a string; 255 bytes do not fit.
    EXPECT_EQ(std::tie(g.Gateway, g.WebmailUserName, g.UserEmail, g.WebmailPassword, g.Lastcommand),
              std::make_tuple("nounderscore", "", "", "", "0"));
    EXPECT_EQ(std::tie(g.UseSignature, g.AutoStart, g.FullWindow), std::make_tuple(1u, 1u, 1u));
}

TEST(Settings, MissingKeyLeavesTheBlockAsItWas) {
    const ScopedEnv home("HOME", "/home/t");
    TempStore store;
    store.Write(kRegHeader + kGeneral + Sz("Gateway", "first") + kDirectory +
                Sz("InstallPath", "/opt/corv/"));
    AppSettings s;
    s.general.Load();
    s.connection.Load();
    s.directory.Load();
    EXPECT_EQ(std::tie(s.general.Gateway, s.connection.ConnectionType, s.directory.InstallPath),
              std::make_tuple("first", "", "/opt/corv/"));

    // Reload after the General key went away and the others changed.
    store.Write(kRegHeader + kConnection + Sz("ConnectionType", "2") + kDirectory);
    s.general.Load();
    s.directory.Load();
    s.connection.Load();
    // General as from the first load; Directory there, its values gone: the user's own folders.
    EXPECT_EQ(std::tie(s.general.Gateway, s.general.Lastcommand, s.general.UseSignature,
                       s.connection.ConnectionType),
              std::make_tuple("first", "0", 1u, "2"));
    EXPECT_EQ(std::tie(s.directory.InstallPath, s.directory.LocalFolders),
              std::make_tuple("/home/t/Corvinaport/", "/home/t/Corvinaport/Local Folders/"));
}

TEST(ConnectionSettings, LoadsInRecordOrderWithPasswordsDescrambled) {
    using C = ConnectionSettings;
    const std::tuple<const char*, const char*, std::string C::*, const char*> values[] = {
        {"ConnectionType", "1", &C::ConnectionType, "1"},
        {"AOLUserName", "aol", &C::AOLUserName, "aol"},
        {"AOLPassword", "0532", &C::AOLPassword, "A"},
        {"PrimaryDUN", "dun1", &C::PrimaryDUN, "dun1"},
        {"PrimaryUserName", "pu", &C::PrimaryUserName, "pu"},
        {"PrimaryPassword", "ab60a6", &C::PrimaryPassword, "hi"},
        {"AlternateDUN", "dun2", &C::AlternateDUN, "dun2"},
        {"AlternateUserName", "au", &C::AlternateUserName, "au"},
        {"AlternatePassword", "", &C::AlternatePassword, ""}};
    std::string text = kRegHeader + kConnection;
    for (const auto& [name, stored, member, expected] : values) text += Sz(name, stored);
    TempStore store;
    store.Write(text);
    ConnectionSettings c;
    c.Load();
    for (const auto& [name, stored, member, expected] : values)
        EXPECT_EQ(c.*member, expected) << name;
}

// Unstored folders follow InstallPath (~/Corvinaport/ if unset); welcome page too.
TEST(DirectorySettings, DerivedFolderDefaults) {
    const ScopedEnv home("HOME", "/home/t");
    struct Case {
        std::string stored;  // empty: no store at all
        const char *folders, *inboxes, *welcome;
    };
    const Case cases[] = {
        {"", "/home/t/Corvinaport/Local Folders/", "/home/t/Corvinaport/Local Inboxes/",
         "/home/t/Corvinaport/Local Folders/Html/"},
        {Sz("InstallPath", "/opt/p/") + Sz("LocalFolders", ""), "/opt/p/Local Folders/",
         "/opt/p/Local Inboxes/", "/opt/p/Local Folders/Html/"},
        {Sz("InstallPath", "/opt/p/") + Sz("LocalFolders", "/srv/lf/") +
             Sz("LocalInboxes", "/srv/in/") + Sz("PCWelcomeURL", ""),
         "/srv/lf/", "/srv/in/", "/srv/lf/Html/"},
        {Sz("PCWelcomeURL", "http://w/"), "/home/t/Corvinaport/Local Folders/",
         "/home/t/Corvinaport/Local Inboxes/", "http://w/"},
    };
    for (const Case& c : cases) {
        TempStore store;
        if (!c.stored.empty()) store.Write(kRegHeader + kDirectory + c.stored);
        DirectorySettings d;
        d.Load();
        EXPECT_EQ(d.LocalFolders, c.folders) << c.stored;
        EXPECT_EQ(d.LocalInboxes, c.inboxes) << c.stored;
        EXPECT_EQ(d.PCWelcomeURL, c.welcome) << c.stored;
    }
}

TEST(DescramblePassword, ShortAndFixedInputs) {
    // "10745": seed 0x10; 't' ^ 0x74 = 0 is not above 0x10, so 0 + 255 - 0x10; then the
    // single-digit tail 5: 'o' ^ 5 = 0x6a, 0x6a + 255 - 0x74. "0074": key character XOR
    // cur equal to the seed gives 255.
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},         {"A", ""},        {"AB", ""},     {"10745", "\xef\xf5"}, {"0074", "\xff"},
        {"AB60A6", "hi"}, {"ab60a6", "hi"}, {"AB60G6", ""}, {"AB 60A6", ""},       {"-B60A6", ""}};
    for (const auto& [scrambled, plain] : cases)
        EXPECT_EQ(DescramblePassword(scrambled), plain) << scrambled;
}

// Every byte after every previous pair value round-trips; a NUL cannot be stored.
TEST(ScramblePassword, RoundTripsEveryByteButNul) {
    for (int seed = 0; seed < 256; ++seed) {
        for (int p = 1; p < 256; ++p) {
            std::string plain = {static_cast<char>(p), static_cast<char>(256 - p), '\xff',
                                 static_cast<char>(p)};
            auto s = ScramblePassword(plain, static_cast<std::uint8_t>(seed));
            ASSERT_TRUE(s.has_value());
            ASSERT_EQ(s->size(), 2 * plain.size() + 2);
            ASSERT_EQ(DescramblePassword(*s), plain) << seed << " " << p;
        }
    }
    EXPECT_EQ(ScramblePassword("hi", 0xAB), "AB60A6");
    EXPECT_EQ(ScramblePassword("", 0x42), "42");
    EXPECT_FALSE(ScramblePassword(std::string("a\0b", 3), 0x10).has_value());
}

}  // namespace
