#include "transport/HttpRequest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>

#include "LoopbackServer.h"
#include "app/core/Clock.h"
#include "support/FakeProgress.h"
#include "support/TempFolder.h"

using namespace std::chrono_literals;

namespace {

// Loopback must never go through a proxy that the environment names.
const bool kNoProxy = [] {
    for (const char* v : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"}) ::unsetenv(v);
    return true;
}();

}  // namespace

TEST(ReplyHeaders, LocationValueAndSuccessMark) {
    const std::pair<const char*, const char*> values[] = {
        {"X-Relay: ok&location= http://relay.example/up?id=7&ticket=9\r\nA: b\r\n",
         "http://relay.example/up?id=7"},
        {"A: &location=http://h/p\r\nB: c\r\n", "http://h/p"},
        {"&location=http://h/p\tmore", "http://h/p"},
        {"&location=one&location=two", "one"},
        {"x&location=", ""},
        {"HTTP/1.1 200 OK\r\nX: y\r\n\r\n", ""},
    };
    for (const auto& [text, value] : values)
        EXPECT_EQ(HttpRequest::ExtractReplyValue(text, "&location="), value) << text;
    const std::pair<const char*, bool> marks[] = {
        {"X-R: success=true\r\n", true},
        {"X-R: id=4&success=true&n=1\r\n", true},
        {"success=true", true},
        {"X-R: success=false\r\n", false},
        {"X-R: nosuccess=true\r\n", false},
        {"X-R: success=trueish\r\n", false},
        {"", false},
    };
    for (const auto& [text, marked] : marks)
        EXPECT_EQ(HttpRequest::HasSuccessMark(text), marked) << text;
}

TEST(PostForm, SendsTheFormAndFollowsTheLocationUpToMaxRequests) {
    LoopbackServer srv;
    std::vector<std::string> seen;
    srv.server.Post("/first", [&](const httplib::Request& req, httplib::Response& res) {
        seen.push_back(req.get_header_value("Content-Type") + " " +
                       req.get_header_value("User-Agent") + " " + req.body);
        res.set_header("X-Next", "go&location=" + srv.Url("/second?x=1") + "&ticket=5");
    });
    srv.server.Post("/second", [&](const httplib::Request& req, httplib::Response& res) {
        seen.push_back("second " + req.body + " " + req.get_param_value("x"));
        res.set_content("final", "text/plain");
    });
    HttpRequest chain;
    ASSERT_TRUE(chain.PostForm(srv.Url("/first"), "q=a%20b")) << chain.failure.cause;
    EXPECT_EQ(seen, (std::vector<std::string>{"application/x-www-form-urlencoded QRVHTTP q=a%20b",
                                              "second q=a%20b 1"}));
    EXPECT_EQ(std::tie(chain.requestsMade, chain.replyBody), std::make_tuple(2, "final"));

    // With one request allowed the address is left for the caller.
    HttpRequest single;
    single.maxRequests = 1;
    ASSERT_TRUE(single.PostForm(srv.Url("/first"), "q=2"));
    EXPECT_EQ(single.requestsMade, 1);
    EXPECT_EQ(HttpRequest::ExtractReplyValue(single.ReplyHeaders(), "&location="),
              srv.Url("/second?x=1"));
}

// Other statuses fail; a reply naming a local file is not followed.
TEST(PostForm, RefusedExchangesFail) {
    TempFolder dir;
    dir.Write("secret", "local file");
    LoopbackServer srv;
    srv.server.Post("/error", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_header("X-R", "&location=http://127.0.0.1:1/");
    });
    srv.server.Post("/evil", [&](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-R", "&location=file://" + dir.file("secret"));
    });
    const std::pair<std::string, HttpFailure> cases[] = {
        {srv.Url("/error"), HttpFailure::HttpStatus},
        {srv.Url("/evil"), HttpFailure::BadAddress},
        {"", HttpFailure::BadAddress},
        {"ftp://127.0.0.1/x", HttpFailure::BadAddress},
        {"http://", HttpFailure::BadAddress},
    };
    for (const auto& [url, kind] : cases) {
        HttpRequest r;
        EXPECT_FALSE(r.PostForm(url, "a=1")) << url;
        EXPECT_EQ(r.failureKind, kind) << url << ": " << r.failure.cause;
        EXPECT_TRUE(!r.failure.cause.empty() && r.replyHeaders.empty()) << url;
        EXPECT_EQ(r.replyBody.find("local file"), std::string::npos);
    }
}

// The limit is clock time: slow polls do not stretch it; the late reply is never seen.
TEST(PostForm, TimeLimitIsClockTimeNotACountOfPolls) {
    class SlowPolls final : public Clock {
      public:
        std::time_t Now() const override { return 0; }
        std::chrono::milliseconds Steady() const override { return std::chrono::milliseconds(ms); }
        void Sleep(std::chrono::milliseconds) override {
            ms += 50;
            ++polls;
        }
        long long ms = 0;
        int polls = 0;
    } clock;
    LoopbackServer srv;
    srv.server.Post("/stall", [&](const httplib::Request&, httplib::Response& res) {
        srv.Hold();
        res.set_header("X-R", "&location=http://late/");
    });
    HttpRequest r;
    r.clock = &clock;
    EXPECT_FALSE(r.PostForm(srv.Url("/stall"), "a=1"));
    srv.Release();
    EXPECT_EQ(clock.polls, 45000 / 50);
    EXPECT_EQ(r.failure.cause, "no reply within the time limit");
    EXPECT_EQ(r.replyHeaders, "");
}

// A large body arrives intact; only a 200 with the mark in its headers counts.
TEST(PostFile, StreamsTheBodyAndNeedsTheSuccessMark) {
    TempFolder dir;
    std::string bytes(3u << 20, '\0');
    std::mt19937 gen(7);
    for (auto& c : bytes) c = static_cast<char>(gen());
    dir.Write("body", bytes);
    LoopbackServer srv;
    std::string received, contentType;
    srv.server.Post("/ok", [&](const httplib::Request& req, httplib::Response& res) {
        received = req.body;
        contentType = req.get_header_value("Content-Type");
        res.set_header("X-Relay-Result", "success=true");
    });
    srv.server.Post("/bodyonly", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("success=true", "text/plain");
    });
    srv.server.Post("/refused", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Relay-Result", "success=false");
    });
    srv.server.Post("/error", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_header("X-Relay-Result", "success=true");
    });
    HttpRequest ok;
    ok.SetHeaders("Content-Type: application/octet-stream\r\nX-Extra: 1");
    EXPECT_TRUE(ok.PostFile(srv.Url("/ok"), dir.file("body"))) << ok.failure.cause;
    EXPECT_TRUE(received == bytes);
    EXPECT_EQ(contentType, "application/octet-stream");

    const std::pair<std::string, std::string> failing[] = {
        {srv.Url("/bodyonly"), dir.file("body")},
        {srv.Url("/refused"), dir.file("body")},
        {srv.Url("/error"), dir.file("body")},
        {srv.Url("/ok"), dir.file("missing")},
        {"", dir.file("body")},
    };
    for (const auto& [url, path] : failing) {
        HttpRequest r;
        EXPECT_FALSE(r.PostFile(url, path)) << url << " " << path;
    }
}

// A confirmed stop during a 50 MB upload ends it at once; the bar followed the bytes.
TEST(PostFile, ConfirmedStopEndsTheUploadWithinASecond) {
    TempFolder dir;
    dir.Write("large", std::string(50u << 20, 'f'));
    LoopbackServer srv;
    srv.server.Post("/up", [&](const httplib::Request&, httplib::Response& res,
                               const httplib::ContentReader& reader) {
        reader([&](const char*, std::size_t) {
            std::this_thread::sleep_for(2ms);  // a slow line
            return true;
        });
        res.set_header("X-R", "success=true");
    });
    FakeProgress progress;
    std::chrono::steady_clock::time_point stoppedAt;
    progress.onPump = [&](FakeProgress& p) {
        if (p.pos >= 2 && !p.isCancelled) {
            p.isCancelled = true;
            stoppedAt = std::chrono::steady_clock::now();
        }
    };
    HttpRequest r;
    r.progressWindow = &progress;
    EXPECT_FALSE(r.PostFile(srv.Url("/up"), dir.file("large")));
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 1s);
    EXPECT_EQ(r.failure.cause, "stopped by the user");
    EXPECT_TRUE(progress.pos >= 2 && progress.pos < 100) << progress.pos;
}

// A peer taking nothing, or trickling, ends at the low-speed guard.
TEST(PostFile, DeadOrTricklingPeerFailsAtTheLowSpeedGuard) {
    TempFolder dir;
    dir.Write("b", std::string(4u << 20, 'b'));
    LoopbackServer srv;
    srv.server.Post("/dead", [&](const httplib::Request&, httplib::Response&,
                                 const httplib::ContentReader&) { srv.Hold(); });
    srv.server.Post("/trickle", [](const httplib::Request&, httplib::Response&,
                                   const httplib::ContentReader& reader) {
        int chunks = 0;
        reader([&chunks](const char*, std::size_t) {
            std::this_thread::sleep_for(100ms);
            return ++chunks < 60;
        });
    });
    for (const char* path : {"/dead", "/trickle"}) {
        HttpRequest r;
        r.lowSpeedBytes = 1 << 20;
        r.lowSpeedSeconds = 1;
        EXPECT_FALSE(r.PostFile(srv.Url(path), dir.file("b"))) << path;
        EXPECT_EQ(r.failureKind, HttpFailure::TooSlow) << path << ": " << r.failure.cause;
    }
}
