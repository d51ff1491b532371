// The relay driven by the real sender, and by a plain client for what no sender should do.
#include "platform/relay_server/RelayServer.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include "app/core/AppSettings.h"
#include "support/TempFolder.h"
#include "transport/FaxSender.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

TEST(RelayServer, StoresWhatTheSenderUploadedAndGoesOnFromEarlierRuns) {
    TempFolder dir;
    fs::create_directories(dir.path() + "store/msg-0001");  // left by an earlier run
    RelayServer relay(dir.path() + "store");
    ASSERT_TRUE(relay.Start());
    // Blanks and non-ASCII in the name; NUL, CR LF and a fake delimiter in the bytes.
    const std::string name = "Fax f\xC3\xBCr Bob.tif";
    const std::string bytes = "II*"s + '\0' + "\r\n-----------------------------7cf\r\n\r\nend";
    dir.Write(name, bytes);
    AppSettings settings;
    settings.general.WebmailPassword = "p&ss=1";
    settings.directory.RmMessages = relay.serviceUrl();
    FaxSender sender(settings);
    sender.bodyFolder = dir.path();
    ASSERT_TRUE(sender.Submit("jane@example.com", "5551234@fax.example", {dir.file(name)}, nullptr)
                    .accepted)
        << sender.failure.cause;

    const auto received = relay.ReceivedMessages();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].filename(), "msg-0002");
    EXPECT_EQ(dir.Read("store/msg-0002/" + name), bytes);
    EXPECT_NE(dir.Read("store/msg-0002/query.txt").find("&password=p%26ss%3D1#func=send&end=yes"),
              std::string::npos);
    EXPECT_NE(dir.Read("store/msg-0002/fields.txt").find("to: 5551234@fax.example\n"),
              std::string::npos);
    // No half-written folder is left behind.
    for (const auto& e : fs::directory_iterator(dir.path() + "store"))
        EXPECT_NE(e.path().filename().string().front(), '.') << e.path();
}

TEST(RelayServer, RefusesRequestsThatNoSenderShouldMake) {
    TempFolder dir;
    RelayServer relay(dir.path() + "store");
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
    EXPECT_EQ(dir.Read("store/" + received[0].filename().string() + "/escape.txt"), "secret");
    EXPECT_FALSE(fs::exists(dir.path() + "escape.txt"));
    EXPECT_FALSE(fs::exists(dir.path() + "store/escape.txt"));
}
