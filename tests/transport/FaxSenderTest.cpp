#include "transport/FaxSender.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "LoopbackServer.h"
#include "RawReplyServer.h"
#include "app/AppSettings.h"
#include "support/FakeProgress.h"
#include "support/ScriptedMessageBox.h"
#include "tools/relay/FormParts.h"
#include "transport/RelayMessage.h"
#include "wizard/FaxJob.h"

namespace fs = std::filesystem;

namespace {

const bool kNoProxy = [] {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(v);
    return true;
}();

GeneralSettings Account() {
    GeneralSettings g;
    g.ProductName = "Corvinaport";
    g.WebmailUserName = "jane";
    g.UserID = "1234";
    g.MachineName = "desk-1";
    g.Version = "2.0";
    g.ProductLevel = "Gold";
    g.Gateway = "usa";
    g.WebmailPassword = "s3cret";
    return g;
}

// Both steps of the relay function on loopback: the location request names
// the upload address; the upload is parsed as multipart/form-data.
class Relay {
  public:
    Relay() {
        srv.server.Post("/relay", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex);
            ++locationRequests;
            locationBody = req.body;
            locationType = req.get_header_value("Content-Type");
            if (locationStatus != 200) {
                res.status = locationStatus;
                return;
            }
            res.set_header("X-Relay-Reply", "ok&location=" + upload.Url("/upload?box=7") + "&t=1");
        });
        SetUploadMark("success=true");
    }
    std::string Url() const { return srv.Url("/relay"); }

    void SetUploadMark(const std::string& mark) {
        upload.SetReply("HTTP/1.1 200 OK\r\nX-Relay-Result: " + mark +
                        "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    }
    // The upload as it came over the wire, field by field.
    std::map<std::string, std::string> Fields() const {
        std::map<std::string, std::string> fields;
        for (const auto& part : ParseFormParts(upload.LastBody(), kRelayBoundary))
            fields[part.name] = part.content;
        return fields;
    }

    LoopbackServer srv;
    RawReplyServer upload{""};
    std::mutex mutex;
    int locationStatus = 200;
    int locationRequests = 0;
    std::string locationBody, locationType;
};

// Waits for real (the exchange needs the loopback server's time) and counts
// what the sender asked for.
class CountingClock final : public Clock {
  public:
    std::time_t Now() const override { return std::time(nullptr); }
    void Sleep(std::chrono::milliseconds d) override {
        sleptMs += d.count();
        std::this_thread::sleep_for(d);
    }
    long long sleptMs = 0;
};

class FaxSenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("fax-sender-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
        settings.general = Account();
        settings.directory.InstallPath = dir_.string() + "/";
        settings.directory.RmMessages = relay.Url();
        document = (dir_ / "fax.tif").string();
        std::ofstream(document, std::ios::binary) << std::string("II*\0 fax pages", 14);
        job.message.from = "jane@example.com";
        job.message.to = "\"Bob\" <5551234>";
        job.message.documentPath = document;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    FaxSender Sender() {
        return FaxSender(
            settings, boxes, windows,
            [this](const std::string& to) {
                rewrites.push_back(to);
                return to.empty() ? std::string() : "\"Bob\" <5551234@fax.example>";
            },
            clock);
    }

    fs::path dir_;
    Relay relay;
    AppSettings settings;
    ScriptedMessageBox boxes;
    FakeProgressFactory windows;
    CountingClock clock;
    FaxJob job;
    std::string document;
    std::vector<std::string> rewrites;
};

}  // namespace

TEST(BuildServiceQuery, KeysInOrderWithTheOperationLast) {
    const GeneralSettings g = Account();
    EXPECT_EQ(BuildServiceQuery(g, "relaymail", ""),
              "cfunc=relaymail&prodname=Corvinaport&username=jane&custnum=1234"
              "&machname=desk-1&version=2.0&prodlevel=Gold&gateway=usa&password=s3cret");
    EXPECT_EQ(BuildServiceQuery(g, "relaymail", "send"),
              "cfunc=relaymail&prodname=Corvinaport&username=jane&custnum=1234"
              "&machname=desk-1&version=2.0&prodlevel=Gold&gateway=usa&password=s3cret"
              "#func=send");
}

TEST(BuildServiceQuery, ValuesCannotBreakThePairs) {
    GeneralSettings g = Account();
    g.WebmailPassword = "a&b=c#d e+f%\xC3\xA9~";
    g.WebmailUserName = "Jane.Doe-2_x";
    const std::string q = BuildServiceQuery(g, "relaymail", "send");
    EXPECT_NE(q.find("&username=Jane.Doe-2_x&"), std::string::npos);
    EXPECT_NE(q.find("&password=a%26b%3Dc%23d%20e%2Bf%25%C3%A9%7E#func=send"), std::string::npos);
    EXPECT_EQ(EncodeQueryValue(""), "");
}

TEST_F(FaxSenderTest, SentFaxReachesTheRelayAndItsDocumentIsDeleted) {
    FaxSender sender = Sender();
    const bool sent = sender.SendFax(job);
    ASSERT_TRUE(sent) << sender.failure;

    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Your fax has been sent!"});
    EXPECT_EQ(boxes.boxes[0].caption, "Send a Fax - Corvinaport");
    EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::Ok);
    EXPECT_EQ(job.message.sendStatus, "sent");
    EXPECT_FALSE(fs::exists(document));
    EXPECT_GE(clock.sleptMs, 100);

    ASSERT_EQ(windows.made.size(), 1u);

    const std::string query = BuildServiceQuery(Account(), "relaymail", "send") + "&end=yes";
    EXPECT_EQ(relay.locationBody, query);
    EXPECT_EQ(relay.locationType, "application/x-www-form-urlencoded");
    EXPECT_NE(relay.upload.LastHead().find("\r\nContent-Type: multipart/form-data; "
                                           "boundary=---------------------------7cf29e12c04\r\n"),
              std::string::npos);
    EXPECT_NE(relay.upload.LastHead().find("POST /upload?box=7 HTTP/1.1\r\n"), std::string::npos);
    const auto fields = relay.Fields();
    EXPECT_EQ(rewrites, std::vector<std::string>{"\"Bob\" <5551234>"});
    EXPECT_EQ(fields.at("headers"), query + "\r\n");
    EXPECT_EQ(fields.at("from"), "jane@example.com\r\n");
    EXPECT_EQ(fields.at("to"), "\"Bob\" <5551234@fax.example>\r\n");
    EXPECT_EQ(fields.at("cc"), "");
    EXPECT_EQ(fields.at("bcc"), "");
    EXPECT_EQ(fields.at("body"), "");
    EXPECT_EQ(fields.size(), 10u);
    EXPECT_EQ(fields.at("subject"), "FAXDOC\r\n");
    EXPECT_EQ(fields.at("headers1"), "X-CORVN-UID: jane\r\n");
    EXPECT_EQ(fields.at("headers2"), "X-Tessaline: MsgType=Fax\r\n");
    EXPECT_EQ(fields.at("attach1"), std::string("II*\0 fax pages", 14) + "\r\n");
    EXPECT_TRUE(fs::exists(dir_ / "qrvmsg.txt"));
}

TEST_F(FaxSenderTest, ShowsTheSendingTextWhileWaiting) {
    std::vector<std::string> seen;
    windows.onPump = [&](FakeProgress& p) {
        if (seen.empty()) seen = {p.title, p.texts.empty() ? "" : p.texts.back()};
    };
    FaxSender sender = Sender();
    ASSERT_TRUE(sender.SendFax(job));
    EXPECT_EQ(seen, (std::vector<std::string>{"Send a Fax", "Sending your fax, please wait..."}));
}

TEST_F(FaxSenderTest, UploadWithoutTheSuccessMarkIsAFailure) {
    relay.SetUploadMark("success=false");
    FaxSender sender = Sender();
    EXPECT_FALSE(sender.SendFax(job));
    EXPECT_EQ(relay.upload.Requests(), 1);
    EXPECT_EQ(boxes.Texts(),
              std::vector<std::string>{
                  "Your fax could not be sent! It will be saved so you can try to send it later."});
    EXPECT_EQ(job.message.sendStatus, "fail");
    EXPECT_TRUE(fs::exists(document));
}

TEST_F(FaxSenderTest, FailedLocationRequestSendsNoUpload) {
    relay.locationStatus = 500;
    FaxSender sender = Sender();
    EXPECT_FALSE(sender.SendFax(job));
    EXPECT_EQ(relay.locationRequests, 1);
    EXPECT_EQ(relay.upload.Requests(), 0);
    EXPECT_EQ(job.message.sendStatus, "fail");
    EXPECT_EQ(boxes.boxes.size(), 1u);
    EXPECT_TRUE(fs::exists(document));
}

TEST_F(FaxSenderTest, UnreadableDocumentIsNeverSent) {
    // An earlier fax's body file must not go out in place of this one.
    std::ofstream(dir_ / "qrvmsg.txt") << "body of an earlier fax";
    job.message.documentPath = (dir_ / "vanished.tif").string();
    FaxSender sender = Sender();
    EXPECT_FALSE(sender.SendFax(job));
    EXPECT_EQ(relay.locationRequests, 0);
    EXPECT_EQ(job.message.sendStatus, "fail");
    EXPECT_EQ(boxes.Texts().size(), 1u);
}

TEST_F(FaxSenderTest, NoRecipientLeftEndsQuietly) {
    job.message.to = "";
    FaxSender sender = Sender();
    EXPECT_FALSE(sender.SendFax(job));
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_EQ(job.message.sendStatus, "");
    EXPECT_EQ(relay.locationRequests, 0);
    EXPECT_TRUE(fs::exists(document));
}
