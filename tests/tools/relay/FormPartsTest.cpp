// The relay's form reader over a file, a megabyte a read, against the body held whole.
#include "platform/relay_server/FormParts.h"

#include <gtest/gtest.h>

#include "support/TempFolder.h"

namespace {

// The second delimiter begins `inFirst` bytes before the first piece's end.
std::string BodyWithDelimiterAt(std::size_t inFirst) {
    constexpr std::size_t kPiece = 1 << 20;
    const std::string head = "--B\r\nContent-Disposition: form-data; name=\"a\"\r\n\r\n";
    const std::string rest =
        "\r\n--B\r\nContent-Disposition: form-data; name=\"b\"; "
        "filename=\"f\"\r\n\r\nv\r\n--B--\r\n";
    return head + std::string(kPiece - inFirst - 2 - head.size(), 'x') + rest;
}

TEST(FormParts, FileReaderFindsADelimiterSplitAtEveryOffsetOfItsPieces) {
    TempFolder dir;
    const std::size_t delimiter = std::string("\r\n--B").size();
    for (std::size_t inFirst = 0; inFirst <= delimiter; ++inFirst) {
        const std::string body = BodyWithDelimiterAt(inFirst);
        dir.Write("body", body);
        const std::vector<FormPart> whole = ParseFormParts(body, "B");
        const std::vector<FormPart> read = ParseFormPartsInFile(dir.file("body"), "B");
        ASSERT_EQ(whole.size(), 2u) << inFirst;
        ASSERT_EQ(read.size(), whole.size()) << inFirst;
        for (std::size_t i = 0; i < whole.size(); ++i) {
            EXPECT_EQ(read[i].name, whole[i].name) << inFirst;
            EXPECT_EQ(read[i].filename, whole[i].filename) << inFirst;
        }
        EXPECT_EQ(read[0].content, whole[0].content) << inFirst;
        EXPECT_EQ(read[1].size, 1u) << inFirst;  // "v", its CR LF left out
    }
}

}  // namespace
