// No redirect is followed; a certificate must be vouched for and name the host asked.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "LoopbackServer.h"
#include "app/core/AppSettings.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"
#include "transport/FaxSender.h"
#include "transport/HttpRequest.h"

using namespace std::chrono_literals;

namespace {

const bool kNoProxy = [] {
    for (const char* v :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(v);
    return true;
}();

bool Openssl(const std::string& arguments) {
    return std::system(("openssl " + arguments + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

// A 302 would turn the POST into a GET the target answers: following it succeeds.
TEST(HttpRequestTrust, RedirectHeaderIsNeverFollowed) {
    LoopbackServer srv;
    std::atomic<int> targetHits{0};
    srv.server.Post("/moved", [&](const httplib::Request&, httplib::Response& res) {
        res.set_redirect(srv.Url("/target"), 302);
    });
    srv.server.Get("/target", [&](const httplib::Request&, httplib::Response& res) {
        ++targetHits;
        res.set_content("reached", "text/plain");
    });
    HttpRequest r;
    EXPECT_FALSE(r.PostForm(srv.Url("/moved"), "a=1"));
    EXPECT_EQ(targetHits.load(), 0);
}

// A test authority is the only one trusted; a certificate it signed for the
// loopback address is taken, one it signed for another host or one nobody
// vouches for is refused before any form data leaves the process.
TEST(HttpRequestTrust, CertificateMustBeVouchedForAndNameTheHostAsked) {
    TempFolder dir;
    const std::string ca = dir.file("ca.pem"), caKey = dir.file("ca.key");
    const std::string ec = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 ";
    ASSERT_TRUE(Openssl("req -x509 " + ec + "-subj /CN=Test-Authority -keyout '" + caKey +
                        "' -out '" + ca + "'"));
    const ScopedEnv trusted("SSL_CERT_FILE", ca);

    const struct {
        const char* altName;
        bool signedByAuthority, accepted;
    } kCases[] = {
        {"IP:127.0.0.1", true, true},
        {"DNS:relay.elsewhere.example", true, false},
        {"IP:127.0.0.1", false, false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(std::string(c.altName) + (c.signedByAuthority ? " signed" : " self-signed"));
        const std::string cert = dir.file("cert.pem"), key = dir.file("key.pem");
        const std::string signer =
            c.signedByAuthority ? "-CA '" + ca + "' -CAkey '" + caKey + "' " : "";
        ASSERT_TRUE(Openssl("req -x509 " + ec +
                            "-subj /CN=relay -addext subjectAltName=" + c.altName + " " + signer +
                            "-keyout '" + key + "' -out '" + cert + "'"));
        httplib::SSLServer tls(cert.c_str(), key.c_str());
        ASSERT_TRUE(tls.is_valid());
        std::atomic<int> posts{0};
        tls.Post("/relay", [&](const httplib::Request&, httplib::Response& res) {
            ++posts;
            res.set_content("ok", "text/plain");
        });
        const int port = tls.bind_to_any_port("127.0.0.1");
        std::thread serving([&] { tls.listen_after_bind(); });
        while (!tls.is_running()) std::this_thread::sleep_for(1ms);

        HttpRequest r;
        r.timeoutSeconds = 10;
        EXPECT_EQ(r.PostForm("https://127.0.0.1:" + std::to_string(port) + "/relay", "a=1"),
                  c.accepted)
            << r.failure.cause;
        // curl's own words for a certificate it refuses.
        if (!c.accepted) {
            EXPECT_NE(r.failure.cause.find("certificate"), std::string::npos) << r.failure.cause;
        }
        EXPECT_EQ(posts.load(), c.accepted ? 1 : 0);
        tls.stop();
        serving.join();
    }
}

// The body carries the password: an https relay naming an http upload is refused.
TEST(HttpRequestTrust, UploadNeverLeavesEncryptionTheRelayAskedFor) {
    TempFolder dir;
    const std::string cert = dir.file("cert.pem"), key = dir.file("key.pem");
    ASSERT_TRUE(
        Openssl("req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes "
                "-days 1 -subj /CN=relay -addext subjectAltName=IP:127.0.0.1 -keyout '" +
                key + "' -out '" + cert + "'"));
    const ScopedEnv trusted("SSL_CERT_FILE", cert);
    const ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path());
    LoopbackServer plain;
    std::atomic<int> uploads{0};
    plain.server.Post("/upload", [&](const httplib::Request&, httplib::Response& res) {
        ++uploads;
        res.set_header("X-Relay-Result", "success=true");
    });
    httplib::SSLServer tls(cert.c_str(), key.c_str());
    ASSERT_TRUE(tls.is_valid());
    const std::string upload = plain.Url("/upload");
    tls.Post("/relay", [&](const httplib::Request&, httplib::Response& res) {
        res.set_header("X-Relay-Result", "ok&location=" + upload + "&");
    });
    const int port = tls.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { tls.listen_after_bind(); });
    while (!tls.is_running()) std::this_thread::sleep_for(1ms);

    dir.Write("fax.tif", "II*");
    AppSettings settings;
    settings.directory.RmMessages = "https://127.0.0.1:" + std::to_string(port) + "/relay";
    FaxSender sender(settings);
    const SendOutcome outcome =
        sender.Submit("jane@example.com", "bob@example.com", {dir.file("fax.tif")}, nullptr);
    EXPECT_EQ(std::tuple(outcome.accepted, outcome.cause),
              std::tuple(false, HttpFailure::BadAddress));
    EXPECT_NE(outcome.reason.find("without encryption (http)"), std::string::npos)
        << outcome.reason;
    EXPECT_EQ(uploads.load(), 0);
    tls.stop();
    serving.join();
}
