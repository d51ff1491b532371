#include "transport/FaxSender.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <thread>

#include "app/core/AppSettings.h"
#include "platform/relay_server/RelayServer.h"
#include "support/FakeProgress.h"
#include "support/ScopedEnv.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"
#include "transport/RelayMessage.h"
#include "wizard/job/FaxJob.h"

namespace fs = std::filesystem;

namespace {

const bool kNoProxy = [] {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(v);
    return true;
}();

GeneralSettings Account() {
    using G = GeneralSettings;
    const std::pair<std::string G::*, const char*> values[] = {
        {&G::Gateway, "usa"},       {&G::WebmailUserName, "jane"}, {&G::WebmailPassword, "s3cret"},
        {&G::Version, "2.0"},       {&G::UserID, "1234"},          {&G::ProductName, "Corvinaport"},
        {&G::ProductLevel, "Gold"}, {&G::MachineName, "desk-1"}};
    GeneralSettings g;
    for (const auto& [member, value] : values) g.*member = value;
    return g;
}

// A composed fax, the relay, the user's boxes and windows; body files in this run's folder.
class FaxSenderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        settings.general = Account();
        settings.directory.InstallPath = dir.path();
        dir.Write("fax.tif", std::string("II*\0 fax pages", 14));
        job.message.from = "jane@example.com";
        job.message.to = "\"Bob\" <5551234>";
        job.message.documentPath = dir.file("fax.tif");
    }
    bool Send(RelayServer& relay, const std::string& url = {}) {
        settings.directory.RmMessages = url.empty() ? relay.serviceUrl() : url;
        FaxSender sender(
            settings, boxes, windows,
            [](const std::string& to) {
                return to.empty() ? std::string() : "\"Bob\" <5551234@fax.example>";
            },
            clock);
        sender.locationTimeoutSeconds = 1;
        const bool sent = sender.SendFax(job);
        failure = sender.failure.cause;
        return sent;
    }
    [[nodiscard]] std::vector<std::string> BodyFiles() const {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(dir.path()))
            if (e.path().filename().string().rfind("qrvmsg", 0) == 0) found.push_back(e.path());
        return found;
    }

    TempFolder dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path()};
    TempFolder store;
    AppSettings settings;
    ScriptedMessageBox boxes;
    FakeProgressFactory windows;
    SystemClock clock;  // the exchange needs the server's time
    FaxJob job;
    std::string failure;
};

}  // namespace

TEST(BuildServiceQuery, KeysInOrderAndValuesThatCannotBreakThePairs) {
    GeneralSettings g = Account();
    EXPECT_EQ(BuildServiceQuery(g, "relaymail", "send"),
              "cfunc=relaymail&prodname=Corvinaport&username=jane&custnum=1234"
              "&machname=desk-1&version=2.0&prodlevel=Gold&gateway=usa&password=s3cret"
              "#func=send");
    g.WebmailPassword = "a&b=c#d e+f%\xC3\xA9~";
    g.WebmailUserName = "Jane.Doe-2_x";
    const std::string q = BuildServiceQuery(g, "relaymail", "");
    EXPECT_NE(q.find("&username=Jane.Doe-2_x&"), std::string::npos);
    EXPECT_EQ(q.substr(q.find("&password=")), "&password=a%26b%3Dc%23d%20e%2Bf%25%C3%A9%7E");
}

// The body holds the password: private runtime folder, user-only, removed afterwards.
TEST_F(FaxSenderTest, SentFaxReachesTheRelayAndLeavesNoBodyFile) {
    RelayServer relay(store.path());
    ASSERT_TRUE(relay.Start());
    std::vector<std::string> seen;
    windows.onPump = [&](FakeProgress& p) {
        if (!seen.empty()) return;
        seen = {p.title, p.texts.empty() ? "" : p.texts.back()};
        for (const auto& f : BodyFiles())
            seen.push_back(fs::path(f).parent_path().string() + " " +
                           std::to_string(static_cast<int>(fs::status(f).permissions())));
    };
    ASSERT_TRUE(Send(relay)) << failure;
    EXPECT_EQ(seen, (std::vector<std::string>{"Send a Fax", kSendingText,
                                              dir.path() + "corvinaport 384"}));  // 0600
    EXPECT_EQ(fs::status(dir.path() + "corvinaport").permissions(), fs::perms::owner_all);
    EXPECT_TRUE(BodyFiles().empty());
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kFaxSentText});
    EXPECT_EQ(boxes.boxes[0].caption, kMessageCaption);
    EXPECT_EQ(job.message.sendStatus, "sent");
    EXPECT_FALSE(fs::exists(job.message.documentPath));

    const auto received = relay.ReceivedMessages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(store.Read(received[0].filename().string() + "/query.txt"),
              BuildServiceQuery(Account(), "relaymail", "send") + "&end=yes\n");
    EXPECT_EQ(
        store.Read(received[0].filename().string() + "/fields.txt"),
        "attach1: <file fax.tif>\nheaders: " + BuildServiceQuery(Account(), "relaymail", "send") +
            "&end=yes\nheaders1: X-CORVN-UID: jane\nheaders2: X-Tessaline: MsgType=Fax\n"
            "body: \nsubject: FAXDOC\nfrom: jane@example.com\n"
            "to: \"Bob\" <5551234@fax.example>\ncc: \nbcc: \n");
}

// Each failure cause has its own detail; the fax stays, no body file is left.
TEST_F(FaxSenderTest, FailureBoxNamesTheStepAndTheCause) {
    const std::string location = "Getting the upload address failed: ";
    const std::string upload = "The upload failed: ";
    struct Case {
        const char* name;
        RelayFault fault;
        std::string url;  // instead of the relay's
        int cancelAfterPumps;
        std::string detail;
        std::size_t received;
    };
    const Case cases[] = {
        {"refused", RelayFault::None, "http://127.0.0.1:1/relay", 0,
         location + "the connection was refused.", 0},
        {"name", RelayFault::None, "http://no-such-host.invalid/r", 0,
         location + "the server's name was not found.", 0},
        {"status", RelayFault::Status500, "", 0,
         location + "the service answered with HTTP status 500.", 0},
        {"no address", RelayFault::NoLocation, "", 0,
         location +
             "the service refused the account (it gave no upload address); check the account "
             "name and password in the settings (corvinaport-sendfax --settings).",
         0},
        {"time-out", RelayFault::Stall, "", 0, location + "no reply within the time limit.", 0},
        {"stopped", RelayFault::Stall, "", 50, location + "stopped by the user.", 0},
        {"no mark", RelayFault::NoSuccess, "", 0,
         upload + "the service did not confirm the fax (no success mark).", 1},
        {"broken", RelayFault::BrokenReply, "", 0, upload + "the connection broke off.", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempFolder received;
        RelayServer relay(received.path(), c.fault);
        ASSERT_TRUE(relay.Start());
        boxes.boxes.clear();
        windows.cancelAfterPumps = c.cancelAfterPumps;
        EXPECT_FALSE(Send(relay, c.url));
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, kFaxFailedText);
        // Plain words, cause one click away; only an unanswered whole upload may have arrived.
        EXPECT_EQ(boxes.boxes[0].technical, c.detail);
        EXPECT_EQ(boxes.boxes[0].detail.find("may have reached") != std::string::npos,
                  c.fault == RelayFault::BrokenReply)
            << boxes.boxes[0].detail;
        EXPECT_EQ(failure, c.detail);
        EXPECT_EQ(job.message.sendStatus, "fail");
        EXPECT_TRUE(fs::exists(job.message.documentPath) && BodyFiles().empty());
        EXPECT_EQ(relay.ReceivedMessages().size(), c.received);
    }
}

// Nothing leaves with an unreadable document or no recipient (then quietly).
TEST_F(FaxSenderTest, NothingIsSentWithoutADocumentOrARecipient) {
    RelayServer relay(store.path());
    ASSERT_TRUE(relay.Start());
    job.message.documentPath = dir.file("vanished.tif");
    EXPECT_FALSE(Send(relay));
    EXPECT_EQ(failure, "Preparing the fax failed: cannot read the document " +
                           job.message.documentPath + ".");
    EXPECT_EQ(boxes.boxes.size(), 1u);

    job.message.to = "";
    job.message.sendStatus = "";
    EXPECT_FALSE(Send(relay));
    EXPECT_TRUE(boxes.boxes.size() == 1u && job.message.sendStatus.empty() &&
                relay.ReceivedMessages().empty());

    // A text holding the boundary would cut the upload where it stands.
    job.message.to = "\"Bob\" <5551234>";
    for (const std::string& from :
         {std::string("--") + kRelayBoundary, std::string("a ") + kRelayBoundary + "--"}) {
        job.message.documentPath = dir.file("fax.tif");
        job.message.from = from;
        EXPECT_FALSE(Send(relay));
        EXPECT_EQ(failure.rfind("Preparing the fax failed: the from text holds the line", 0), 0u)
            << failure;
    }
    EXPECT_TRUE(relay.ReceivedMessages().empty());
}

// Two wizards at once: each fax reaches the relay with its own body file and document.
TEST_F(FaxSenderTest, ConcurrentSubmissionsEachDeliverTheirOwnFax) {
    RelayServer relay(store.path());
    ASSERT_TRUE(relay.Start());
    settings.directory.RmMessages = relay.serviceUrl();
    constexpr int kSenders = 4;
    std::vector<std::thread> threads;
    std::vector<int> accepted(kSenders, 0);
    for (int i = 0; i < kSenders; ++i) {
        const std::string doc = "doc" + std::to_string(i) + ".tif";
        dir.Write(doc, "document " + std::to_string(i) + std::string(200000, 'x'));
        threads.emplace_back([this, doc, i, &accepted] {
            FaxSender sender(settings, clock);
            accepted[i] =
                sender.Submit("a@b", "5551234@fax.example", {dir.file(doc)}, nullptr).accepted;
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(accepted, std::vector<int>(kSenders, 1));
    std::set<std::string> documents;
    for (const auto& folder : relay.ReceivedMessages())
        for (const auto& e : fs::directory_iterator(folder))
            if (e.path().extension() == ".tif") documents.insert(e.path().filename());
    EXPECT_EQ(documents, (std::set<std::string>{"doc0.tif", "doc1.tif", "doc2.tif", "doc3.tif"}));
}
