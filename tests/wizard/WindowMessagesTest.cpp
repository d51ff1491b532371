#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <set>
#include <thread>
#include <vector>

#include "app/window_messages/WindowMessage.h"
#include "support/NotifyCommand.h"
#include "support/StaleSocket.h"
#include "support/TempFolder.h"

namespace {

namespace fs = std::filesystem;

int argc = 1;
char arg0[] = "window_messages_test";
char* argv[] = {arg0, nullptr};
QCoreApplication app(argc, argv);

TEST(MessageLine, RoundTripsAndRejectsMalformedLines) {
    WindowMessage reload;
    reload.id = WM_RELOADSETTINGS;
    auto back = ParseMessageLine(FormatMessageLine(reload));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->id, 0x07E9u);
    WindowMessage kestro;
    kestro.registeredName = kKestroMessage;
    kestro.wParam = 5;
    kestro.lParam = 0xFFFFFFFFFFFFFFFFull;
    back = ParseMessageLine(FormatMessageLine(kestro));
    ASSERT_TRUE(back);
    EXPECT_EQ(std::tie(back->registeredName, back->wParam, back->lParam),
              std::make_tuple("KESTRO message", 5u, kestro.lParam));
    EXPECT_EQ(ParseMessageLine("CORVMSG 1 0x10 0 #2025\r\n").value().wParam, 16u);
    EXPECT_EQ(ParseMessageLine("CORVMSG 1 0 0 #65535\n").value().id, 0xFFFFu);  // the highest
    for (const std::string& bad : std::vector<std::string>{
             "", "reload", "CORVMSG 2 0 0 #2025", "CORVMSG 1 0 0", "CORVMSG 1 x 0 #1",
             "CORVMSG 1 0 0 #0", "CORVMSG 1 0 0 #70000", "CORVMSG 1 18446744073709551616 0 #1",
             "CORVMSG 1 0 0  lead", std::string("CORVMSG 1 0 0 bad\x01name"),
             "CORVMSG 1 0 0 " + std::string(600, 'a')})
        EXPECT_FALSE(ParseMessageLine(bad)) << bad;
    // Answers: one printable line; what cannot travel is not sent.
    EXPECT_EQ(FormatAnswerLine(kAnswerTaken), "CORVANS 1 taken\n");
    EXPECT_EQ(ParseAnswerLine("CORVANS 1 declined\r\n"), "declined");
    for (const std::string& bad : {std::string(), std::string("a\nb"), std::string(300, 'a')})
        EXPECT_EQ(FormatAnswerLine(bad), "") << bad;
    for (const char* bad : {"CORVANS 1 ", "CORVANS 2 taken", "taken", "CORVMSG 1 0 0 #1"})
        EXPECT_FALSE(ParseAnswerLine(bad)) << bad;
}

TEST(MessageFolder, IsPrivateAndFollowsTheRuntimeFolder) {
    const TempFolder tmp;
    const std::string folder = tmp.path() + "messages";
    ASSERT_TRUE(EnsurePrivateFolder(folder));
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);
    // Open to the group, or to others only: closed again.
    for (const auto open : {fs::perms(0755), fs::perms(0705)}) {
        fs::permissions(folder, open);
        ASSERT_TRUE(EnsurePrivateFolder(folder));
        EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all)
            << std::oct << static_cast<int>(open);
    }
    const std::string link = folder + "-link";
    fs::create_directory_symlink(folder, link);
    EXPECT_EQ(EnsurePrivateFolder(link).failure().cause, link + " is not a folder");
    qputenv("XDG_RUNTIME_DIR", "/run/user/4242");
    EXPECT_EQ(MessageFolder(), "/run/user/4242/corvinaport");
    qunsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(MessageFolder(), "/tmp/corvinaport-" + std::to_string(getuid()));
}

TEST(Broadcast, ReachesEveryWizardAndRemovesStaleSockets) {
    const TempFolder tmp;
    const std::string folder = tmp.path() + "messages";
    WindowMessageListener first, second;
    ASSERT_TRUE(first.Listen(folder, 1001));
    ASSERT_TRUE(second.Listen(folder, 1002));
    MakeStaleSocket(SocketPathFor(folder, 1003));
    QSignalSpy a(&first, &WindowMessageListener::messageReceived);
    QSignalSpy b(&second, &WindowMessageListener::messageReceived);

    WindowMessage m;
    m.registeredName = kKestroMessage;
    m.wParam = 1;
    // The listeners answer on this thread's loop, so the broadcast runs beside it.
    BroadcastResult r;
    std::thread sender([&] { r = Broadcast(m, folder); });
    EXPECT_TRUE(QTest::qWaitFor([&] { return a.count() >= 1 && b.count() >= 1; }, 10000));
    sender.join();
    EXPECT_EQ(std::tuple(r.delivered, r.removedStale), std::tuple(2, 1));
    EXPECT_FALSE(fs::exists(SocketPathFor(folder, 1003)));
    ASSERT_EQ(std::tuple(a.count(), b.count()), std::tuple(1, 1));
    EXPECT_EQ(a.at(0).at(0).value<WindowMessage>().wParam, 1u);

    first.Close();
    EXPECT_FALSE(fs::exists(SocketPathFor(folder, 1001)));
}

TEST(Listener, IgnoresGarbageAndOverlongInputAndKeepsListening) {
    const TempFolder tmp;
    const std::string folder = tmp.path() + "messages";
    WindowMessageListener listener;
    ASSERT_TRUE(listener.Listen(folder, 77));
    QSignalSpy got(&listener, &WindowMessageListener::messageReceived);
    auto send = [&](const QByteArray& bytes) { SendRaw(listener.socketPath(), bytes); };
    send("hello\nCORVMSG 1 a b c\n\x00\xff\n");
    send(QByteArray(20000, 'x'));
    send(QByteArray("CORVMSG 1 1 2 #2025\n") + QByteArray(3000, 'y'));
    send("CORVMSG 1 0 0 #2025\n");
    // Only the two whole lines arrive; then the listener still takes more.
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.count() >= 2; }, 5000));
    send("CORVMSG 1 3 0 #2025\n");
    EXPECT_TRUE(QTest::qWaitFor([&] { return got.count() >= 3; }, 5000));
    ASSERT_EQ(got.count(), 3);
    std::multiset<std::uint64_t> wParams;
    for (const auto& args : got) wParams.insert(args.at(0).value<WindowMessage>().wParam);
    EXPECT_EQ(wParams, (std::multiset<std::uint64_t>{0, 1, 3}));
    EXPECT_TRUE(listener.listening());
}

}  // namespace
