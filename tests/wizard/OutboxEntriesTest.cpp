// What the outbox window reads from a fax's files, without a display.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/TempFolder.h"
#include "support/TestTiff.h"
#include "wizard/outbox/core/OutboxEntries.h"

TEST(OutboxEntries, RecipientLineGivesNamesWhereKnownElseNumbers) {
    const std::map<std::string, std::pair<QString, QString>> kCases = {
        {"", {"", ""}},
        {"5551234@fax.corvinaport.net", {"5551234", "5551234"}},
        {"\"Ann Lee\" <ann@example.com>", {"Ann Lee", "ann@example.com"}},
        {"5551234@fax.corvinaport.net,\"Ann, Sales\" <ann@example.com>",
         {"5551234; Ann, Sales", "5551234; ann@example.com"}},
        {"bob@example.com, <cy@example.com>",
         {"bob@example.com; cy@example.com", "bob@example.com; cy@example.com"}},
        {"\"Broken <x", {"\"Broken <x", "\"Broken <x"}},
    };
    for (const auto& [to, expected] : kCases) {
        QString numbers;
        EXPECT_EQ(RecipientNames(to, &numbers), expected.first) << to;
        EXPECT_EQ(numbers, expected.second) << to;
    }
}

TEST(OutboxEntries, SentNamesAreNewestFirstAndPagesCountOnlyTiffs) {
    TempFolder root;
    for (const char* name : {"1700000000", "1700000100-1", "1600000000", "notes", ".partial-x"})
        std::filesystem::create_directories(root.path() + "sent/" + name);
    root.Write("sent/plain", "a file");
    EXPECT_EQ(SentNames(root.path()),
              (std::vector<std::string>{"1700000100-1", "1700000000", "1600000000", "notes"}));

    WriteBilevelTiff(root.file("three.tif"), 32, 32, 3, 4, [](int, int, int) { return false; });
    root.Write("fake.tif", std::string("II*\0", 4) + "not really");
    root.Write("cut.tif", root.Read("three.tif").substr(0, 40));
    const std::map<std::string, int> kPages = {
        {"three.tif", 3}, {"fake.tif", -1}, {"cut.tif", -1}, {"missing.tif", -1}};
    for (const auto& [file, pages] : kPages)
        EXPECT_EQ(CountDocumentPages(root.file(file)), pages) << file;
}
