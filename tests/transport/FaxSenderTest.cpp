#include "transport/FaxSender.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "LoopbackServer.h"
#include "RawReplyServer.h"
#include "app/AppSettings.h"
#include "support/FakeProgress.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"
#include "tools/relay/FormParts.h"
#include "tools/relay/RelayServer.h"
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
            if (!namesUpload) return;
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
    bool namesUpload = true;
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
        FaxSender sender(
            settings, boxes, windows,
            [this](const std::string& to) {
                rewrites.push_back(to);
                return to.empty() ? std::string() : "\"Bob\" <5551234@fax.example>";
            },
            clock);
        sender.bodyFolder = bodyFolder;
        return sender;
    }
    // Body files of this test's submissions, wherever they were made.
    [[nodiscard]] std::vector<std::string> BodyFiles() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(dir_))
            if (e.path().filename().string().rfind("qrvmsg", 0) == 0) found.push_back(e.path());
        return found;
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
    std::string bodyFolder;
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
    // The body holds the password: it is made in the user's private runtime
    // folder, never in the install folder, and removed afterwards.
    const std::string runtime = (dir_ / "run").string();
    fs::create_directories(runtime);
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    std::vector<std::string> bodiesSeen;
    windows.onPump = [&](FakeProgress&) {
        if (bodiesSeen.empty()) bodiesSeen = BodyFiles();
    };
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

    if (saved)
        ::setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else
        ::unsetenv("XDG_RUNTIME_DIR");
    ASSERT_EQ(bodiesSeen.size(), 1u);
    EXPECT_EQ(fs::path(bodiesSeen[0]).parent_path(), fs::path(runtime) / "corvinaport");
    EXPECT_EQ(fs::status(fs::path(runtime) / "corvinaport").permissions() & fs::perms::all,
              fs::perms::owner_all);
    EXPECT_TRUE(BodyFiles().empty());
}

TEST_F(FaxSenderTest, BodyFileIsPrivateWhileItExists) {
    bodyFolder = (dir_ / "private").string() + "/";
    fs::create_directories(bodyFolder);
    fs::perms mode = fs::perms::unknown;
    windows.onPump = [&](FakeProgress&) {
        for (const auto& f : BodyFiles()) mode = fs::status(f).permissions() & fs::perms::all;
    };
    FaxSender sender = Sender();
    ASSERT_TRUE(sender.SendFax(job)) << sender.failure;
    EXPECT_EQ(mode, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_TRUE(BodyFiles().empty());
}

// Each cause of a failure gives its own detail under the failure text.
TEST_F(FaxSenderTest, FailureBoxNamesTheStepAndTheCause) {
    const SilentPeer silent;  // accepts, never answers
    const std::string silentUrl = silent.Url();

    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::string detail;
    };
    const std::string location = "Getting the upload address failed: ";
    const std::string upload = "The upload failed: ";
    const std::vector<Case> cases = {
        {"refused", [this] { settings.directory.RmMessages = "http://127.0.0.1:1/relay"; },
         location + "the connection was refused."},
        {"name", [this] { settings.directory.RmMessages = "http://no-such-host.invalid/r"; },
         location + "the server's name was not found."},
        {"status", [this] { relay.locationStatus = 503; },
         location + "the service answered with HTTP status 503."},
        {"no address", [this] { relay.namesUpload = false; },
         location + "the service named no upload address."},
        {"time-out", [&] { settings.directory.RmMessages = silentUrl; },
         location + "no reply within the time limit."},
        {"stopped", [this] { windows.cancelAfterPumps = 1; }, location + "stopped by the user."},
        {"no mark", [this] { relay.SetUploadMark("success=false"); },
         upload + "the service did not confirm the fax (no success mark)."},
        {"upload status",
         [this] { relay.upload.SetReply("HTTP/1.1 507 Full\r\nContent-Length: 0\r\n\r\n"); },
         upload + "the service answered with HTTP status 507."},
        {"broken",
         [this] {
             relay.upload.SetReply(
                 "HTTP/1.1 200 OK\r\nX-R: success=true\r\n"
                 "Content-Length: 100\r\n\r\ncut");
         },
         upload + "the connection broke off."},
    };
    const AppSettings original = settings;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        settings = original;
        relay.locationStatus = 200;
        relay.namesUpload = true;
        relay.SetUploadMark("success=true");
        windows.cancelAfterPumps = 0;
        boxes.boxes.clear();
        c.setUp();
        FaxSender sender = Sender();
        sender.locationTimeoutSeconds = 1;
        EXPECT_FALSE(sender.SendFax(job));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, kFaxFailedText);
        EXPECT_EQ(boxes.boxes[0].detail, c.detail);
        EXPECT_EQ(sender.failure, c.detail);
        EXPECT_EQ(job.message.sendStatus, "fail");
        EXPECT_TRUE(fs::exists(document));
        EXPECT_TRUE(BodyFiles().empty());
    }
}

// Two wizards sending at once: each fax reaches the relay with its own
// document, because each submission has a body file of its own.
TEST_F(FaxSenderTest, ConcurrentSubmissionsEachDeliverTheirOwnFax) {
    TempFolder store;
    RelayServer service(store.path());
    ASSERT_TRUE(service.Start());
    settings.directory.RmMessages = service.serviceUrl();
    constexpr int kSenders = 4;
    std::vector<std::thread> threads;
    std::vector<int> accepted(kSenders, 0);
    for (int i = 0; i < kSenders; ++i) {
        const std::string doc = (dir_ / ("doc" + std::to_string(i) + ".tif")).string();
        std::ofstream(doc, std::ios::binary) << "document " << i << std::string(200000, 'x');
        threads.emplace_back([this, doc, i, &accepted] {
            SystemClock real;
            FaxSender sender(settings, real);
            accepted[i] = sender.Submit("a@b", "5551234@fax.example", doc, nullptr).accepted;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(accepted, std::vector<int>(kSenders, 1));
    std::set<std::string> documents;
    for (const auto& folder : service.ReceivedMessages())
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".tif") documents.insert(e.path().filename());
    EXPECT_EQ(documents, (std::set<std::string>{"doc0.tif", "doc1.tif", "doc2.tif", "doc3.tif"}));
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
    EXPECT_EQ(sender.failure, "Preparing the fax failed: cannot read the document " +
                                  job.message.documentPath + ".");
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
