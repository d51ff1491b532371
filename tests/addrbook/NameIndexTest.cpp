#include "addrbook/NameIndex.h"

#include <gtest/gtest.h>

#include <QString>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The slow twin: every name folded by Unicode's rules and compared from the top.
int Scan(const std::vector<std::string>& names, const std::string& text, int limit) {
    const std::string wanted = QString::fromStdString(text).toCaseFolded().toStdString();
    for (int row = 0; row < static_cast<int>(names.size()) && row < limit; ++row)
        if (QString::fromStdString(names[static_cast<std::size_t>(row)])
                .toCaseFolded()
                .toStdString()
                .starts_with(wanted))
            return row;
    return -1;
}

// Names of 1-4 byte characters (some folding to other lengths), empty, huge, doubled.
std::vector<std::string> Names(std::mt19937& random, int count) {
    static const std::vector<std::string> kPieces = [] {
        std::vector<std::string> pieces;
        std::istringstream all(
            "a|B|z|Z| |\xc3\x89|\xc3\xa9|\xc3\x9f|SS|\xe2\x82\xac|\xf0\x9f\x98\x80|"
            "\xce\xa3|\xcf\x82|\xc4\xb0|~|0");
        for (std::string piece; std::getline(all, piece, '|');) pieces.push_back(piece);
        return pieces;
    }();
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) {
        const unsigned kind = random() % 20;
        if (kind == 0) {
            names.emplace_back();
        } else if (kind == 1 && !names.empty()) {
            names.push_back(names[random() % names.size()]);
        } else if (kind == 2) {
            names.push_back(std::string(20000, 'q') + kPieces[random() % kPieces.size()]);
        } else {
            std::string name;
            for (unsigned n = random() % 6; n > 0; --n) name += kPieces[random() % kPieces.size()];
            names.push_back(name);
        }
    }
    return names;
}

// Every prefix (halves of characters too) of some names, in other case, and misses.
std::vector<std::string> Texts(const std::vector<std::string>& names) {
    std::vector<std::string> texts{"", "\xc3", "y", "\xf0\x9f", "SS", "ss", "\xc3\x9fz"};
    for (std::size_t i = 0; i < names.size(); i += 7) {
        const std::string& n = names[i];
        for (std::size_t len = 1; len <= std::min<std::size_t>(n.size(), 12); ++len) {
            texts.push_back(n.substr(0, len));
            texts.push_back(QString::fromStdString(n.substr(0, len)).toUpper().toStdString());
        }
        texts.push_back(n + "x");
    }
    return texts;
}

TEST(NameIndex, FindsWhatTheLinearScanFinds) {
    std::mt19937 random(7);
    for (int round = 0; round < 6; ++round) {
        const std::vector<std::string> names = Names(random, 1 + round * 60);
        // Runs of random lengths, as a book arrives, and all of them merged.
        NameIndex index;
        for (std::size_t first = 0; first < names.size();) {
            const std::size_t len = std::min<std::size_t>(names.size() - first, 1 + random() % 50);
            std::vector<std::string> folded;
            for (std::size_t i = first; i < first + len; ++i) folded.push_back(FoldName(names[i]));
            NameIndex run;
            run.Add(static_cast<int>(first), folded);
            index.Append(std::move(run));
            first += len;
        }
        ASSERT_EQ(index.size(), static_cast<int>(names.size()));
        const NameIndex merged = index.Merged();
        EXPECT_EQ(merged.runs(), 1);
        for (const std::string& text : Texts(names)) {
            const std::string folded = QString::fromStdString(text).toCaseFolded().toStdString();
            const int found = Scan(names, text, INT32_MAX);
            ASSERT_EQ(index.Find(folded), found) << round << " " << text.substr(0, 40);
            ASSERT_EQ(merged.Find(folded), found) << round << " " << text.substr(0, 40);
            // The rows shown so far: the limit at, one below and one above the row found.
            for (int limit : {found, found + 1, found + 2})
                ASSERT_EQ(merged.Find(folded, limit), Scan(names, text, limit)) << text << limit;
        }
    }
}

TEST(NameIndex, FoldsAsUnicodeDoesAndStopsWhenAsked) {
    const std::pair<std::string, std::string> cases[] = {{"ANN Lee", "ann lee"},
                                                         {"", ""},
                                                         {"\xc3\x89mile", "\xc3\xa9mile"},
                                                         {"Stra\xc3\x9f\x65", "stra\xc3\x9f\x65"},
                                                         {"a\xce\xa3", "a\xcf\x83"}};
    for (const auto& [name, folded] : cases) EXPECT_EQ(FoldName(name), folded) << name;

    NameIndex index;
    index.Add(0, {"b"});
    index.Add(1, {"a"});
    EXPECT_EQ(index.Merged([] { return true; }).size(), 0);
    EXPECT_EQ(index.Merged([] { return false; }).Find("a"), 1);
    EXPECT_EQ(NameIndex().Find("a"), -1);
}

}  // namespace
