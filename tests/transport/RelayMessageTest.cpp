#include "transport/RelayMessage.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/relay_server/FormParts.h"
#include "support/TempFolder.h"

namespace {

const std::string D = "-----------------------------7cf29e12c04";  // a delimiter line

// One part of the body as the relay expects it.
std::string Part(const std::string& name, const std::string& headers, const std::string& content) {
    return D + "\r\nContent-Disposition: form-data; name=\"" + name + "\"" + headers + "\r\n" +
           content + "\r\n";
}

}  // namespace

TEST(MimeTypeForPath, FirstContainedExtensionDecides) {
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/REPORT.HTML", "text/html"},
        {"Memo.Wav", "audio/wav"},
        {"x.au", "audio/wav"},
        {"scan.tiff", "image/tiff"},
        {"a.txt", "text/plain"},
        {"a.doc", "application/octet-stream"},
        // Folder names count too: ".Rav" holds ".RA".
        {"/home/u/My.Rav/notes.doc", "audio/vnd.rn-realaudio"},
    };
    for (const auto& [path, type] : cases) EXPECT_EQ(MimeTypeForPath(path), type) << path;
}

// The exact bytes the relay parses: attachments first (a voice note before
// the pages), names with blanks and non-ASCII bytes unchanged, empty
// recipients and headers left out.
TEST(RelayMessage, WritesTheExactBody) {
    TempFolder dir;
    const std::string pages = "my fax page.tif", voice = "R\xC3\xA9sum\xC3\xA9 Memo.Wav";
    dir.Write(pages, std::string("II*\0\r\nbinary", 12));
    dir.Write(voice, "RIFF");
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
    m.AddAttachment(dir.file(pages));
    m.AddAttachment(dir.file(voice));
    ASSERT_TRUE(m.WriteBody(dir.file("qrvmsg.txt")));

    const std::string expected =
        Part("attach1", "; filename=\"" + voice + "\"\r\nContent-Type: audio/wav\r\n", "RIFF\r\n") +
        Part("attach2", "; filename=\"" + pages + "\"\r\nContent-Type: image/tiff\r\n",
             std::string("II*\0\r\nbinary", 12) + "\r\n") +
        Part("headers", "\r\n", "cfunc=relaymail&end=yes\r\n") +
        Part("headers1", "\r\n", "X-CORVN-UID: user\r\n") +
        Part("headers2", "\r\n", "X-Tessaline: MsgType=Fax\r\n") +
        Part("body", "\r\nContent-Type: text/plain", "\r\nline one\r\n\r\nline two\r\n") +
        Part("subject", "\r\n", "FAXDOC\r\n") + Part("from", "\r\n", "me@example.com\r\n") +
        Part("to", "", "\r\n\"A\" <1@fax>\r\n\r\n\"B\" <2@fax>\r\n") + Part("cc", "", "") +
        Part("bcc", "", "") + D + "--\r\n";
    EXPECT_EQ(dir.Read("qrvmsg.txt"), expected);
}

TEST(RelayMessage, LineBreaksInValuesCannotForgeFieldsOrHeaders) {
    TempFolder dir;
    const std::string hostileName = "a\"b\r\nX: y\n.tif";
    dir.Write(hostileName, "doc");
    RelayMessage m;
    m.SetSubject("Hi\r\n" + D + "\r\nContent-Disposition: form-data; name=\"to\"\r\n\r\nx@evil");
    m.AddTo("\"N\" <1@fax>\nBcc: x@evil");
    m.AddHeader("X-CORVN-UID: u\r\nX-Other: 1");
    m.AddAttachment(dir.file(hostileName));
    ASSERT_TRUE(m.WriteBody(dir.file("b.txt")));

    // Parsed back by the relay's reader: exactly the fields written, one line each.
    std::map<std::string, std::string> fields;
    std::string fileName;
    for (const auto& part : ParseFormParts(dir.Read("b.txt"), kRelayBoundary)) {
        EXPECT_EQ(fields.count(part.name), 0u) << "duplicate field " << part.name;
        fields[part.name] = part.content;
        if (part.name == "attach1") fileName = part.filename;
    }
    EXPECT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields["subject"].find('\n'), fields["subject"].size() - 1);
    EXPECT_EQ(std::tie(fields["to"], fields["headers1"], fields["attach1"], fileName),
              std::make_tuple("\"N\" <1@fax> Bcc: x@evil\r\n", "X-CORVN-UID: u  X-Other: 1\r\n",
                              "doc\r\n", "a%22b%0D%0AX: y%0A.tif"));
}

// A body without its whole document must never be posted. A document
// holding the delimiter would be cut there by the relay: at its start,
// across the copy's chunk border, right after it, at its end. Dashes and a
// delimiter short of its last byte are harmless.
TEST(RelayMessage, IncompleteAttachmentMakesTheBodyUnfitToSend) {
    TempFolder dir;
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
        dir.Write("tricky.tif", doc);
        RelayMessage tricky;
        tricky.AddAttachment(dir.file("tricky.tif"));
        EXPECT_EQ(tricky.WriteBody(dir.file("b.txt")), d.fit) << d.at;
    }
    RelayMessage missing;
    missing.AddAttachment(dir.file("gone.tif"));
    EXPECT_FALSE(missing.WriteBody(dir.file("b.txt")));
    RelayMessage unwritable;
    EXPECT_FALSE(unwritable.WriteBody(dir.file("no/such/folder/b.txt")));
}

// Every text field is searched for the boundary, wherever it stands in it.
TEST(RelayMessage, FieldHoldingTheBoundaryIsNamed) {
    const std::string b = kRelayBoundary;
    const std::pair<std::function<void(RelayMessage&, const std::string&)>, const char*> kFields[] =
        {
            {[](RelayMessage& m, const std::string& v) { m.SetFormData(v); }, "headers"},
            {[](RelayMessage& m, const std::string& v) { m.AddHeader(v); }, "headers"},
            {[](RelayMessage& m, const std::string& v) { m.bodyLines.push_back(v); }, "body"},
            {[](RelayMessage& m, const std::string& v) { m.SetSubject(v); }, "subject"},
            {[](RelayMessage& m, const std::string& v) { m.SetFrom(v); }, "from"},
            {[](RelayMessage& m, const std::string& v) { m.AddTo(v); }, "to"},
            {[](RelayMessage& m, const std::string& v) { m.AddCc(v); }, "cc"},
            {[](RelayMessage& m, const std::string& v) { m.bcc.push_back(v); }, "bcc"},
            {[](RelayMessage& m, const std::string& v) { m.AddAttachment("/tmp/" + v); },
             "file name"},
        };
    for (const auto& [set, name] : kFields) {
        for (const std::string& value : {"--" + b, "x" + b, b + "--", "\r\n--" + b + "\r\n"}) {
            RelayMessage m;
            m.AddTo("bob@example.com");
            set(m, value);
            ASSERT_NE(m.FieldHoldingBoundary(), nullptr) << name;
            EXPECT_STREQ(m.FieldHoldingBoundary(), name);
        }
        RelayMessage clean;
        set(clean, b.substr(1));  // one hyphen short: not the boundary
        EXPECT_EQ(clean.FieldHoldingBoundary(), nullptr) << name;
    }
}
