#include "transport/RelayMessage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "LoopbackServer.h"
#include "tools/relay/FormParts.h"
#include "transport/HttpRequest.h"

namespace fs = std::filesystem;

namespace {

const bool kNoProxy = [] {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(v);
    return true;
}();

const std::string D = "-----------------------------7cf29e12c04";  // a delimiter line

class RelayMessageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("relay-body-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path dir_;
};

}  // namespace

TEST(MimeTypeForPath, FirstContainedExtensionDecides) {
    EXPECT_EQ(MimeTypeForPath("/home/u/report.htm"), "text/html");
    EXPECT_EQ(MimeTypeForPath("/home/u/REPORT.HTML"), "text/html");
    EXPECT_EQ(MimeTypeForPath("Memo.Wav"), "audio/wav");
    EXPECT_EQ(MimeTypeForPath("x.au"), "audio/wav");
    EXPECT_EQ(MimeTypeForPath("x.snd"), "audio/basic");
    EXPECT_EQ(MimeTypeForPath("x.aiff"), "audio/aiff");
    EXPECT_EQ(MimeTypeForPath("scan.tiff"), "image/tiff");
    EXPECT_EQ(MimeTypeForPath("a.gif"), "image/gif");
    EXPECT_EQ(MimeTypeForPath("a.jpg"), "image/jpeg");
    EXPECT_EQ(MimeTypeForPath("a.avi"), "video/avi");
    EXPECT_EQ(MimeTypeForPath("a.rtf"), "text/rtf");
    EXPECT_EQ(MimeTypeForPath("a.txt"), "text/plain");
    EXPECT_EQ(MimeTypeForPath("a.doc"), "application/octet-stream");
    // Folder names count too: ".Rav" holds ".RA".
    EXPECT_EQ(MimeTypeForPath("/home/u/My.Rav/notes.doc"), "audio/vnd.rn-realaudio");
}

TEST(RelayMessage, WavAttachmentGoesFirst) {
    RelayMessage m;
    m.AddAttachment("/a/fax.tif");
    m.AddAttachment("/a/Memo.Wav");
    m.AddAttachment("/a/missing.doc");  // need not exist yet
    ASSERT_EQ(m.attachments.size(), 3u);
    EXPECT_EQ(m.attachments.front()->path, "/a/Memo.Wav");
    EXPECT_EQ(m.attachments.front()->contentType, "audio/wav");
    EXPECT_EQ(m.attachments.front()->disposition, "form-data");
    EXPECT_EQ(m.attachments.back()->FileName(), "missing.doc");
}

TEST_F(RelayMessageTest, WritesTheExactBody) {
    Write("fax.tif", std::string("II*\0\r\nbinary", 12));
    RelayMessage m;
    m.SetFormData("cfunc=relaymail&end=yes");
    m.SetFrom("me@example.com");
    m.AddTo("\"A\" <1@fax>");
    m.AddTo("");
    m.AddTo("\"B\" <2@fax>");
    m.AddCc("");
    m.SetSubject("FAXDOC");
    m.AddHeader("X-CORVN-UID: user");
    m.AddHeader("");
    m.AddHeader("X-Tessaline: MsgType=Fax");
    m.bodyLines = {"line one", "", "line two"};
    m.AddAttachment(Path("fax.tif"));
    ASSERT_TRUE(m.WriteBody(Path("qrvmsg.txt")));

    const std::string expected =
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"attach1\"; filename=\"fax.tif\"\r\n"
        "Content-Type: image/tiff\r\n\r\n" +
        std::string("II*\0\r\nbinary", 12) + "\r\n" + "\r\n" + D +
        "\r\n"
        "Content-Disposition: form-data; name=\"headers\"\r\n\r\n"
        "cfunc=relaymail&end=yes\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"headers1\"\r\n\r\n"
        "X-CORVN-UID: user\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"headers2\"\r\n\r\n"
        "X-Tessaline: MsgType=Fax\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"body\"\r\n"
        "Content-Type: text/plain\r\n"
        "\r\nline one\r\n"
        "\r\nline two\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"subject\"\r\n\r\n"
        "FAXDOC\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"from\"\r\n\r\n"
        "me@example.com\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"to\"\r\n"
        "\r\n\"A\" <1@fax>\r\n"
        "\r\n\"B\" <2@fax>\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"cc\"\r\n"
        "\r\n" +
        D +
        "\r\n"
        "Content-Disposition: form-data; name=\"bcc\"\r\n"
        "\r\n" +
        D + "--\r\n";
    EXPECT_EQ(Read("qrvmsg.txt"), expected);
}

TEST_F(RelayMessageTest, MinimalBodyStartsWithTheHeadersPart) {
    RelayMessage m;
    m.SetFrom("me@example.com");
    ASSERT_TRUE(m.WriteBody(Path("b.txt")));
    const std::string body = Read("b.txt");
    EXPECT_EQ(body.rfind(D + "\r\nContent-Disposition: form-data; name=\"headers\"\r\n\r\n\r\n", 0),
              0u);
    EXPECT_NE(body.find("name=\"body\"\r\nContent-Type: text/plain\r\n\r\n" + D),
              std::string::npos);
    EXPECT_EQ(body.substr(body.size() - D.size() - 6), "\r\n" + D + "--\r\n");
    // Writing again truncates rather than appends.
    ASSERT_TRUE(m.WriteBody(Path("b.txt")));
    EXPECT_EQ(Read("b.txt"), body);
}

TEST_F(RelayMessageTest, LineBreaksInValuesCannotForgeFieldsOrHeaders) {
    Write("a\"b.tif", "doc");
    RelayMessage m;
    m.SetSubject("Hi\r\n" + D + "\r\nContent-Disposition: form-data; name=\"to\"\r\n\r\nx@evil");
    m.AddTo("\"N\" <1@fax>\nBcc: x@evil");
    m.AddHeader("X-CORVN-UID: u\r\nX-Other: 1");
    m.AddAttachment(Path("a\"b.tif"));
    ASSERT_TRUE(m.WriteBody(Path("b.txt")));

    // Received by a real server and parsed back, the fields are exactly the
    // ones written, each value on one line.
    LoopbackServer srv;
    std::string received;
    srv.server.Post("/up", [&](const httplib::Request& req, httplib::Response& res) {
        received = req.body;
        res.set_header("X-R", "success=true");
    });
    HttpRequest r;
    r.SetHeaders("Content-Type: application/octet-stream");
    ASSERT_TRUE(r.PostFile(srv.Url("/up"), Path("b.txt"))) << r.failure;
    std::map<std::string, std::string> fields;
    std::string fileName;
    for (const auto& part : ParseFormParts(received, kRelayBoundary)) {
        EXPECT_EQ(fields.count(part.name), 0u) << "duplicate field " << part.name;
        fields[part.name] = part.content;
        if (part.name == "attach1") fileName = part.filename;
    }
    EXPECT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields["subject"].find('\n'), fields["subject"].size() - 1);
    EXPECT_EQ(fields["to"], "\"N\" <1@fax> Bcc: x@evil\r\n");
    EXPECT_EQ(fields["headers1"], "X-CORVN-UID: u  X-Other: 1\r\n");
    EXPECT_EQ(fields["attach1"], "doc\r\n");
    EXPECT_EQ(fileName, "a%22b.tif");
    EXPECT_EQ(fields.count("headers2"), 0u);
}

TEST_F(RelayMessageTest, IncompleteAttachmentMakesTheBodyUnfitToSend) {
    RelayMessage missing;
    missing.AddAttachment(Path("gone.tif"));
    missing.SetSubject("FAXDOC");
    EXPECT_FALSE(missing.WriteBody(Path("b.txt")));
    // The layout is still whole, with the part empty.
    const std::string body = Read("b.txt");
    EXPECT_NE(body.find("filename=\"gone.tif\"\r\nContent-Type: image/tiff\r\n\r\n\r\n\r\n" + D),
              std::string::npos);
    EXPECT_EQ(body.substr(body.size() - D.size() - 4), D + "--\r\n");

    // A document holding the delimiter would be cut there by the relay:
    // at its start, across the copy's chunk border, right after it, at its
    // end. Dashes and a delimiter short of its last byte are harmless.
    const struct {
        std::size_t at;
        std::string text;
        bool fit;
    } docs[] = {{0, D, false},
                {65530, D, false},
                {65536, D, false},
                {100000 - D.size(), D, false},
                {65530, D.substr(0, D.size() - 1), true}};
    for (const auto& d : docs) {
        std::string doc(100000, '-');
        doc.replace(d.at, d.text.size(), d.text);
        Write("tricky.tif", doc);
        RelayMessage tricky;
        tricky.AddAttachment(Path("tricky.tif"));
        EXPECT_EQ(tricky.WriteBody(Path("b.txt")), d.fit) << d.at;
    }

    RelayMessage unwritable;
    EXPECT_FALSE(unwritable.WriteBody(Path("no/such/folder/b.txt")));
}

// Built by hand from the body layout: two attachments whose names hold blanks
// and non-ASCII bytes, which go into the part headers unchanged.
TEST_F(RelayMessageTest, TwoAttachmentsWithBlanksAndNonAsciiNames) {
    const std::string first = "my fax page.tif", second = "R\xC3\xA9sum\xC3\xA9 2.txt";
    Write(first, std::string("II*\0", 4));
    Write(second, "line\r\n");
    RelayMessage m;
    m.SetFormData("q=1");
    m.AddAttachment(Path(first));
    m.AddAttachment(Path(second));
    ASSERT_TRUE(m.WriteBody(Path("qrvmsg.txt")));

    const std::string crlf = "\r\n";
    std::string expected;
    expected += D + crlf;
    expected +=
        "Content-Disposition: form-data; name=\"attach1\"; filename=\"my fax page.tif\"" + crlf;
    expected += "Content-Type: image/tiff" + crlf + crlf;
    expected += std::string("II*\0", 4) + crlf;
    expected += crlf + D + crlf;
    expected +=
        "Content-Disposition: form-data; name=\"attach2\"; filename=\"R\xC3\xA9sum\xC3\xA9 "
        "2.txt\"" +
        crlf;
    expected += "Content-Type: text/plain" + crlf + crlf;
    expected += "line\r\n" + crlf;
    expected += crlf + D + crlf + "Content-Disposition: form-data; name=\"headers\"" + crlf + crlf +
                "q=1" + crlf;
    expected += crlf + D + crlf + "Content-Disposition: form-data; name=\"body\"" + crlf +
                "Content-Type: text/plain" + crlf;
    for (const char* field : {"subject", "from"})
        expected += crlf + D + crlf + "Content-Disposition: form-data; name=\"" + field + "\"" +
                    crlf + crlf + crlf;
    for (const char* field : {"to", "cc", "bcc"})
        expected +=
            crlf + D + crlf + "Content-Disposition: form-data; name=\"" + field + "\"" + crlf;
    expected += crlf + D + "--" + crlf;
    EXPECT_EQ(Read("qrvmsg.txt"), expected);
}
