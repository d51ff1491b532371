#include "transport/HttpRequest.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "LoopbackServer.h"
#include "RawReplyServer.h"
#include "support/FakeClock.h"
#include "support/FakeProgress.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Loopback must never go through a proxy that the environment names.
const bool kNoProxy = [] {
    for (const char* v :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(v);
    return true;
}();

class TempDir {
  public:
    TempDir() {
        path_ = fs::temp_directory_path() /
                ("transport-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++));
        fs::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    [[nodiscard]] std::string File(const std::string& name) const {
        return (path_ / name).string();
    }

  private:
    static inline int counter_ = 0;
    fs::path path_;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace

TEST(ExtractReplyValue, CutsAtAmpersandLineFeedOrTabAndTrims) {
    const std::string headers =
        "HTTP/1.1 200 OK\r\n"
        "X-Relay: ok&location= http://relay.example/up?id=7&ticket=9\r\n"
        "Content-Length: 0\r\n\r\n";
    EXPECT_EQ(HttpRequest::ExtractReplyValue(headers, "&location="),
              "http://relay.example/up?id=7");
    EXPECT_EQ(HttpRequest::ExtractReplyValue("HTTP/1.1 200 OK\r\nX: y\r\n\r\n", "&location="), "");
    // The carriage return before the line feed goes with the trimming.
    EXPECT_EQ(HttpRequest::ExtractReplyValue("A: &location=http://h/p\r\nB: c\r\n", "&location="),
              "http://h/p");
    EXPECT_EQ(HttpRequest::ExtractReplyValue("&location=http://h/p\tmore", "&location="),
              "http://h/p");
    // Only the first occurrence counts; a key with nothing behind it is empty.
    EXPECT_EQ(HttpRequest::ExtractReplyValue("&k=one&k=two", "&k="), "one");
    EXPECT_EQ(HttpRequest::ExtractReplyValue("x&k=", "&k="), "");
}

TEST(HasSuccessMark, MatchesTheMarkOnlyAsAWholeToken) {
    EXPECT_TRUE(HttpRequest::HasSuccessMark("X-Relay-Result: success=true\r\n"));
    EXPECT_TRUE(HttpRequest::HasSuccessMark("X-R: id=4&success=true&n=1\r\n"));
    EXPECT_TRUE(HttpRequest::HasSuccessMark("success=true"));
    EXPECT_FALSE(HttpRequest::HasSuccessMark("X-R: success=false\r\n"));
    EXPECT_FALSE(HttpRequest::HasSuccessMark("X-R: nosuccess=true\r\n"));
    EXPECT_FALSE(HttpRequest::HasSuccessMark("X-R: success=trueish\r\n"));
    EXPECT_FALSE(HttpRequest::HasSuccessMark(""));
}

TEST(PostForm, SendsTheFormAndCollectsTheReply) {
    LoopbackServer srv;
    std::string body, contentType, agent;
    srv.server.Post("/relay", [&](const httplib::Request& req, httplib::Response& res) {
        body = req.body;
        contentType = req.get_header_value("Content-Type");
        agent = req.get_header_value("User-Agent");
        res.set_header("X-Relay-Info", "hello");
        res.set_content("reply text", "text/plain");
    });
    HttpRequest r;
    ASSERT_TRUE(r.PostForm(srv.Url("/relay"), "cfunc=relaymail&user=a%20b")) << r.failure;
    EXPECT_EQ(body, "cfunc=relaymail&user=a%20b");
    EXPECT_EQ(contentType, "application/x-www-form-urlencoded");
    EXPECT_EQ(agent, "QRVHTTP");
    EXPECT_EQ(r.replyHeaders.rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_NE(r.ReplyHeaders().find("X-Relay-Info: hello\r\n"), std::string::npos);
    EXPECT_EQ(r.replyBody, "reply text");
    EXPECT_EQ(r.requestsMade, 1);
}

TEST(PostForm, FollowsTheLocationValueOfTheReplyUpToMaxRequests) {
    LoopbackServer srv;
    std::vector<std::string> seen;
    srv.server.Post("/first", [&](const httplib::Request& req, httplib::Response& res) {
        seen.push_back("first:" + req.body);
        res.set_header("X-Next", "go&location=" + srv.Url("/second?x=1") + "&ticket=5");
        res.set_content("ignored", "text/plain");
    });
    srv.server.Post("/second", [&](const httplib::Request& req, httplib::Response& res) {
        seen.push_back("second:" + req.body + ":" + req.get_param_value("x"));
        res.set_content("final", "text/plain");
    });

    HttpRequest chain;
    ASSERT_TRUE(chain.PostForm(srv.Url("/first"), "q=1")) << chain.failure;
    EXPECT_EQ(seen, (std::vector<std::string>{"first:q=1", "second:q=1:1"}));
    EXPECT_EQ(chain.requestsMade, 2);
    EXPECT_EQ(chain.replyBody, "final");

    // With one request allowed the address is left for the caller.
    seen.clear();
    HttpRequest single;
    single.maxRequests = 1;
    ASSERT_TRUE(single.PostForm(srv.Url("/first"), "q=2"));
    EXPECT_EQ(seen, std::vector<std::string>{"first:q=2"});
    EXPECT_EQ(HttpRequest::ExtractReplyValue(single.ReplyHeaders(), "&location="),
              srv.Url("/second?x=1"));
    EXPECT_EQ(single.replyBody, "");
}

TEST(PostForm, FailsOnOtherStatusesAndFollowsNoLocationHeader) {
    LoopbackServer srv;
    int targetHits = 0;
    srv.server.Post("/error", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_header("X-R", "&location=http://127.0.0.1:1/");
    });
    srv.server.Post("/moved", [&](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(srv.Url("/target"), 302);
    });
    srv.server.Post("/target", [&](const httplib::Request&, httplib::Response&) { ++targetHits; });

    HttpRequest r500;
    EXPECT_FALSE(r500.PostForm(srv.Url("/error"), "a=1"));
    EXPECT_EQ(r500.replyHeaders, "");
    EXPECT_NE(r500.failure.find("500"), std::string::npos);

    HttpRequest moved;
    EXPECT_FALSE(moved.PostForm(srv.Url("/moved"), "a=1"));
    EXPECT_EQ(targetHits, 0);
}

TEST(PostForm, RefusesAddressesThatAreNotHttp) {
    TempDir dir;
    WriteFile(dir.File("secret"), "local file");
    LoopbackServer srv;
    // A reply that points the chain at a local file must not read it.
    srv.server.Post("/evil", [&](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-R", "&location=file://" + dir.File("secret"));
    });
    for (const std::string& address : {std::string(), std::string("ftp://127.0.0.1/x"),
                                       std::string("not an address"), std::string("http://")}) {
        HttpRequest r;
        EXPECT_FALSE(r.PostForm(address, "a=1")) << address;
    }
    HttpRequest evil;
    EXPECT_FALSE(evil.PostForm(srv.Url("/evil"), "a=1"));
    EXPECT_EQ(evil.replyBody.find("local file"), std::string::npos);
}

TEST(PostForm, TimeLimitEndsAStalledExchangeAndIgnoresTheLateReply) {
    LoopbackServer srv;
    std::atomic<int> answered{0};
    srv.server.Post("/stall", [&](const httplib::Request&, httplib::Response& res) {
        srv.Hold();
        res.set_header("X-R", "&location=http://late/");
        res.set_content("late", "text/plain");
        ++answered;
    });
    FakeClock clock;
    HttpRequest r;
    r.clock = &clock;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(r.PostForm(srv.Url("/stall"), "a=1"));
    // 45 seconds of 1 ms polls, counted on the clock, not waited for.
    EXPECT_EQ(clock.sleptMs, 45000);
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    srv.Release();
    EXPECT_EQ(r.replyHeaders, "");
    EXPECT_EQ(r.replyBody, "");
    EXPECT_EQ(r.failure, "no reply within the time limit");
}

// The limit is clock time: polls that take longer than a millisecond each
// do not stretch it.
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
    srv.server.Post("/stall", [&](const httplib::Request&, httplib::Response&) { srv.Hold(); });
    HttpRequest r;
    r.clock = &clock;
    EXPECT_FALSE(r.PostForm(srv.Url("/stall"), "a=1"));
    srv.Release();
    EXPECT_EQ(clock.polls, 900);
    EXPECT_EQ(r.failureKind, HttpFailure::TimedOut);
}

TEST(PostForm, SlowReplyWithinTheLimitSucceeds) {
    LoopbackServer srv;
    srv.server.Post("/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(300ms);
        res.set_content("ok", "text/plain");
    });
    FakeProgress progress;
    HttpRequest r;
    r.progressWindow = &progress;
    r.timeoutSeconds = 5;
    EXPECT_TRUE(r.PostForm(srv.Url("/slow"), "a=1")) << r.failure;
    EXPECT_EQ(r.replyBody, "ok");
    EXPECT_GT(progress.pumps, 10);  // the window stayed alive meanwhile
}

TEST(PostForm, ConfirmedStopEndsTheWaitAtTheNextPoll) {
    LoopbackServer srv;
    srv.server.Post("/stall", [&](const httplib::Request&, httplib::Response&) { srv.Hold(); });
    FakeProgress progress;
    progress.cancelAfterPumps = 20;
    HttpRequest r;
    r.progressWindow = &progress;
    EXPECT_FALSE(r.PostForm(srv.Url("/stall"), "a=1"));
    EXPECT_EQ(progress.pumps, 20);
    EXPECT_EQ(r.failure, "stopped by the user");
}

TEST(PostForm, BrokenRepliesFail) {
    for (const std::string& reply :
         {std::string("this is not http\r\n\r\n"),
          std::string("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\ncut short"), std::string()}) {
        RawReplyServer raw(reply);
        HttpRequest r;
        EXPECT_FALSE(r.PostForm(raw.Url(), "a=1")) << reply;
    }
}

TEST(PostFile, SucceedsOnlyWithTheSuccessMarkInTheReplyHeaders) {
    TempDir dir;
    const std::string body = dir.File("body.txt");
    WriteFile(body, "multipart bytes");
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
    EXPECT_TRUE(ok.PostFile(srv.Url("/ok"), body)) << ok.failure;
    EXPECT_EQ(received, "multipart bytes");
    EXPECT_EQ(contentType, "application/octet-stream");

    for (const char* path : {"/bodyonly", "/refused", "/error"}) {
        HttpRequest r;
        EXPECT_FALSE(r.PostFile(srv.Url(path), body)) << path;
    }
    HttpRequest noFile;
    EXPECT_FALSE(noFile.PostFile(srv.Url("/ok"), dir.File("missing.txt")));
    HttpRequest noAddress;
    EXPECT_FALSE(noAddress.PostFile("", body));
}

// A stop the user confirms during a 50 MB upload ends it at once; the bar
// followed the bytes sent until then.
TEST(PostFile, ConfirmedStopEndsTheUploadWithinASecond) {
    TempDir dir;
    const std::string path = dir.File("large.bin");
    {
        std::ofstream out(path, std::ios::binary);
        const std::string chunk(1 << 20, 'f');
        for (int i = 0; i < 50; ++i) out << chunk;
    }
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
    EXPECT_FALSE(r.PostFile(srv.Url("/up"), path));
    EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, 1s);
    EXPECT_EQ(r.failureKind, HttpFailure::Stopped);
    EXPECT_EQ(r.failure, "stopped by the user");
    EXPECT_GE(progress.pos, 2);
    EXPECT_LT(progress.pos, 100);
}

TEST(PostFile, StreamsALargeBodyIntact) {
    TempDir dir;
    const std::string path = dir.File("large.bin");
    constexpr std::size_t kSize = 24u << 20;
    std::uint64_t sentHash = 1469598103934665603ull;
    {
        std::ofstream out(path, std::ios::binary);
        std::mt19937 gen(7);
        std::string chunk(1 << 16, '\0');
        for (std::size_t done = 0; done < kSize; done += chunk.size()) {
            for (auto& c : chunk) {
                c = static_cast<char>(gen());
                sentHash = (sentHash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
            }
            out.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        }
    }
    LoopbackServer srv;
    std::size_t got = 0;
    std::uint64_t gotHash = 1469598103934665603ull;
    srv.server.Post("/up", [&](const httplib::Request&, httplib::Response& res,
                               const httplib::ContentReader& reader) {
        reader([&](const char* data, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i)
                gotHash = (gotHash ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
            got += n;
            return true;
        });
        res.set_header("X-R", "success=true");
    });
    HttpRequest r;
    EXPECT_TRUE(r.PostFile(srv.Url("/up"), path)) << r.failure;
    EXPECT_EQ(got, kSize);
    EXPECT_EQ(gotHash, sentHash);
}

// A peer that takes nothing, and one that trickles, both end at the
// low-speed guard instead of holding the upload for ever.
TEST(PostFile, DeadOrTricklingPeerFailsAtTheLowSpeedGuard) {
    TempDir dir;
    WriteFile(dir.File("b"), std::string(4u << 20, 'b'));
    const SilentPeer dead;
    LoopbackServer srv;
    srv.server.Post("/trickle", [](const httplib::Request&, httplib::Response&,
                                   const httplib::ContentReader& reader) {
        int chunks = 0;
        reader([&chunks](const char*, std::size_t) {
            std::this_thread::sleep_for(100ms);
            return ++chunks < 60;
        });
    });
    for (const std::string& url : {dead.Url(), srv.Url("/trickle")}) {
        HttpRequest r;
        r.lowSpeedBytes = 1 << 20;
        r.lowSpeedSeconds = 1;
        const auto started = std::chrono::steady_clock::now();
        EXPECT_FALSE(r.PostFile(url, dir.File("b"))) << url;
        EXPECT_EQ(r.failureKind, HttpFailure::TooSlow) << url << ": " << r.failure;
        EXPECT_LT(std::chrono::steady_clock::now() - started, 20s);
    }
}
