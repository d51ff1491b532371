// The stand-in relay driven by the real sending side (FaxSender over libcurl)
// and by a plain HTTP client for what a sender should never do.
#include "tools/relay/RelayServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <fstream>
#include <sstream>

#include "app/AppSettings.h"
#include "support/FakeProgress.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"
#include "transport/FaxSender.h"
#include "wizard/FaxJob.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class RelayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(dir_ / "work");
        settings.general.ProductName = "Corvinaport";
        settings.general.WebmailUserName = "jane";
        settings.general.WebmailPassword = "p&ss=1";
        settings.directory.InstallPath = (dir_ / "work").string() + "/";
        // A name with blanks and non-ASCII bytes arrives as it is.
        document = (dir_ / "work" / "Fax f\xC3\xBCr Bob.tif").string();
        // Bytes that a careless parser would cut: NUL, CR LF, a fake delimiter.
        documentBytes = "II*"s + '\0' + "\r\n-----------------------------7cf\r\n\r\nend";
        std::ofstream(document, std::ios::binary) << documentBytes;
        job.message.from = "jane@example.com";
        job.message.to = "5551234";
        job.message.documentPath = document;
    }
    bool Send(RelayServer& relay) {
        settings.directory.RmMessages = relay.serviceUrl();
        // The system clock: the exchange needs the server's time.
        FaxSender sender(settings, boxes, windows,
                         [](const std::string& to) { return to + "@fax.example"; });
        sender.locationTimeoutSeconds = 5;
        const bool ok = sender.SendFax(job);
        failure = sender.failure;
        return ok;
    }

    TempFolder folder;
    const fs::path dir_ = folder.path();
    AppSettings settings;
    ScriptedMessageBox boxes;
    FakeProgressFactory windows;
    FaxJob job;
    std::string document, documentBytes, failure;
};

TEST_F(RelayTest, StoresWhatTheSenderUploadedAndGoesOnFromEarlierRuns) {
    fs::create_directories(dir_ / "store" / "msg-0001");  // left by an earlier run
    RelayServer relay(dir_ / "store");
    ASSERT_TRUE(relay.Start());
    ASSERT_TRUE(Send(relay)) << failure;

    const auto received = relay.ReceivedMessages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].filename(), "msg-0002");
    EXPECT_EQ(ReadAll(received[0] / "Fax f\xC3\xBCr Bob.tif"), documentBytes);
    const std::string query = ReadAll(received[0] / "query.txt");
    EXPECT_EQ(query.rfind("cfunc=relaymail&prodname=Corvinaport&username=jane&", 0), 0u) << query;
    EXPECT_NE(query.find("&password=p%26ss%3D1#func=send&end=yes"), std::string::npos) << query;

    const std::string fields = ReadAll(received[0] / "fields.txt");
    for (const char* line :
         {"subject: FAXDOC\n", "from: jane@example.com\n", "to: 5551234@fax.example\n",
          "headers1: X-CORVN-UID: jane\n", "headers2: X-Tessaline: MsgType=Fax\n",
          "attach1: <file Fax f\xC3\xBCr Bob.tif>\n"})
        EXPECT_NE(fields.find(line), std::string::npos) << line << " in\n" << fields;
    // No half-written folder is left behind.
    for (const auto& e : fs::directory_iterator(dir_ / "store"))
        EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
}

TEST_F(RelayTest, EveryFaultIsAFailureForTheSender) {
    for (RelayFault fault : {RelayFault::Status500, RelayFault::NoLocation, RelayFault::NoSuccess,
                             RelayFault::BrokenReply}) {
        SCOPED_TRACE(static_cast<int>(fault));
        RelayServer relay(dir_ / "store", fault);
        ASSERT_TRUE(relay.Start());
        boxes.boxes.clear();
        EXPECT_FALSE(Send(relay));
        EXPECT_EQ(job.message.sendStatus, "fail");
        EXPECT_TRUE(fs::exists(document));  // the document stays for the outbox
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, kFaxFailedText);
        if (fault != RelayFault::NoSuccess && fault != RelayFault::BrokenReply) {
            EXPECT_TRUE(relay.ReceivedMessages().empty());
        }
    }
}

TEST_F(RelayTest, StalledRelayEndsWhenTheUserStopsAndStopLetsItGo) {
    RelayServer relay(dir_ / "store", RelayFault::Stall);
    ASSERT_TRUE(relay.Start());
    windows.cancelAfterPumps = 300;  // the user stops after about 0.3 s
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Send(relay));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(failure, "Getting the upload address failed: stopped by the user.");
    EXPECT_TRUE(fs::exists(document));
    relay.Stop();  // returns although the handler still waited
}

TEST_F(RelayTest, RefusesRequestsThatNoSenderShouldMake) {
    RelayServer relay(dir_ / "store");
    ASSERT_TRUE(relay.Start());
    httplib::Client client("127.0.0.1", relay.port());

    auto notForm = client.Post("/relay", "cfunc=relaymail", "text/plain");
    ASSERT_TRUE(notForm);
    EXPECT_EQ(notForm->status, 400);

    auto unknown = client.Post("/upload/99", "x", "text/plain");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);

    const auto uploadPath = [&] {
        auto location =
            client.Post("/relay", "cfunc=relaymail&end=yes", "application/x-www-form-urlencoded");
        const std::string reply = location ? location->get_header_value("X-Relay-Reply") : "";
        const std::size_t at = reply.find("/upload/");
        return at == std::string::npos ? reply : reply.substr(at, reply.find('&', at) - at);
    };
    // A body that is not multipart, or has no part, is refused and not stored.
    for (const std::string& garbage : {std::string("no delimiter at all"), std::string(),
                                       std::string("--b\r\nContent-Disposition: form-data")}) {
        auto bad = client.Post(uploadPath().c_str(), garbage, "multipart/form-data; boundary=b");
        ASSERT_TRUE(bad);
        EXPECT_EQ(bad->status, 400) << garbage;
    }

    // Each upload address is good for one upload only.
    const std::string path = uploadPath();
    ASSERT_EQ(path.rfind("/upload/", 0), 0u) << path;

    httplib::MultipartFormDataItems items = {
        {"subject", "FAXDOC\r\n", "", ""},
        {"attach1", "secret\r\n", "../../escape.txt", "text/plain"},
    };
    auto upload = client.Post(path.c_str(), items);
    ASSERT_TRUE(upload);
    EXPECT_EQ(upload->status, 200);
    EXPECT_EQ(upload->get_header_value("X-Relay-Result"), "success=true");
    auto again = client.Post(path.c_str(), items);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 404);

    const auto received = relay.ReceivedMessages();
    ASSERT_EQ(received.size(), 1u);
    // A sender's file name never leads out of the message's folder.
    EXPECT_EQ(ReadAll(received[0] / "escape.txt"), "secret");
    EXPECT_FALSE(fs::exists(dir_ / "escape.txt"));
    EXPECT_FALSE(fs::exists(dir_ / "store" / "escape.txt"));
}

TEST(RelayFaultNames, KnownNamesOnly) {
    EXPECT_EQ(ParseRelayFault("none"), RelayFault::None);
    EXPECT_EQ(ParseRelayFault("500"), RelayFault::Status500);
    EXPECT_EQ(ParseRelayFault("no-location"), RelayFault::NoLocation);
    EXPECT_EQ(ParseRelayFault("stall"), RelayFault::Stall);
    EXPECT_EQ(ParseRelayFault("broken"), RelayFault::BrokenReply);
    EXPECT_EQ(ParseRelayFault("no-success"), RelayFault::NoSuccess);
    EXPECT_FALSE(ParseRelayFault("Stall").has_value());
    EXPECT_FALSE(ParseRelayFault("").has_value());
}

}  // namespace
