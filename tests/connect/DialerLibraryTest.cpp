// The online-service dialer over the shipped libraries simulating the client.
#include "connect/DialerLibrary.h"

#include <gtest/gtest.h>

#include "ConnectTestSupport.h"
#include "connect/dialer_api/RasApi.h"
#include "support/FakeClock.h"
#include "support/FakeProgress.h"

namespace {

const std::string kAol4Key =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\America Online\\4.0]\r\n";
const std::string kAol3Key =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\America Online\\AOL\\CurrentVersion]\r\n";

TEST(DialerLibraryTest, ClientKeysChooseTheLibraryFile) {
    EnvFile reg("CORVINAPORT_REGISTRY", Store(""));
    EnvFile state("CORVINAPORT_QRVAOL_STATE", "cs2k=1\n");  // only the version 4 file says so
    DialerLibrary dialer;
    EXPECT_FALSE(dialer.Bind());  // no client installed
    for (const char* key : kDialer4Keys) {
        reg.Write(Store("[HKEY_LOCAL_MACHINE\\" + std::string(key) + "]\r\n" + kAol3Key));
        ASSERT_TRUE(dialer.Bind()) << key;
        EXPECT_TRUE(dialer.IsCs()) << key;
    }
    reg.Write(Store(kAol3Key));
    ASSERT_TRUE(dialer.Bind());
    EXPECT_FALSE(dialer.IsCs());

    // A version 4 client without its file: the version 3 file is not tried.
    reg.Write(Store(kAol4Key + kAol3Key));
    DialerLibrary missing({"libcorvinaport-no-such-dialer.so", QRVAOL30_LIBRARY_NAME});
    EXPECT_FALSE(missing.Bind());
    // A file without the functions: no sign-on, no window.
    DialerLibrary none({RASAPI_LIBRARY_NAME, QRVAOL30_LIBRARY_NAME});
    FakeProgressFactory progress;
    FakeClock clock;
    EXPECT_FALSE(none.SignOn(progress, clock, "a", "b"));
    EXPECT_TRUE(none.bound() && !none.IsCs() && progress.made.empty());
}

TEST(DialerLibraryTest, SignOn) {
    EnvFile reg("CORVINAPORT_REGISTRY", Store(kAol4Key));
    const std::string start = "Start America Online...", unable = "Unable to connect...",
                      server = "Connecting to America Online server...",
                      connected = "Connected to America Online successfully!",
                      refused = "Unable to connect to America Online.",
                      cannotStart = "Unable to start America Online.",
                      stop = "Stop connecting to the Internet.";
    struct Case {
        std::string state;  // empty: no state file
        int stopAfter;      // pumps before the user stops
        std::string outcome;
        Strings texts;  // of the progress window, if one was shown
    };
    const std::vector<Case> cases = {
        {"connected=1\n", 0, "on-line, 0 ms", {}},
        // The screen name and password are cut to what the library takes.
        {"running=1\r\nsignon-window=yes\r\nconnected-after=2\r\nscreen-name=" +
             std::string(127, 'n') + "\r\npassword=" + std::string(127, 'p') + "\r\n",
         0,
         "on-line, 3000 ms",
         {start, server, connected}},
        {"signon-window-after=2\n",
         0,
         "on-line, 6500 ms",
         {start, "Connecting to America Online...", connected}},
        {"# installed, not running\ncs2k = 1\n",
         0,
         "on-line, 4500 ms",
         {"Start CompuServe 2000...", "Connecting to CompuServe 2000...",
          "Connected to CompuServe 2000 successfully!"}},
        {"info=1\n", 0, "off-line, 0 ms", {unable}},
        {"running=1\n", 0, "off-line, 0 ms", {start, unable}},
        {"start-result=3\n", 0, "off-line, 0 ms", {start, cannotStart}},
        {"", 0, "off-line, 0 ms", {start, cannotStart}},
        {"running=1\nsignon-window=1\nsignon-result=5\n",
         0,
         "off-line, 0 ms",
         {start, server, refused}},
        {"running=1\nsignon-window=1\npassword=right\n",
         0,
         "off-line, 0 ms",
         {start, server, refused}},
        // Waits that would never end until the user stops.
        {"running=1\nsignon-window=1\nconnected-after=-1\n",
         5,
         "off-line, 4000 ms",
         {start, server, stop}},
        {"signon-window-after=-1\n", 5, "off-line, 4000 ms", {start, stop}},
        // Malformed: the client's information is unavailable.
        {"running=maybe\n", 0, "off-line, 0 ms", {unable}},
        {"runnning=1\n", 0, "off-line, 0 ms", {unable}},
        {"connected-after=-5\n", 0, "off-line, 0 ms", {unable}},
        {"no equals sign\n", 0, "off-line, 0 ms", {unable}},
        {std::string("\0\xff\x01", 3), 0, "off-line, 0 ms", {unable}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.state);
        EnvFile state("CORVINAPORT_QRVAOL_STATE", c.state);
        FakeProgressFactory progress;
        progress.cancelAfterPumps = c.stopAfter;
        FakeClock clock;
        DialerLibrary dialer;
        const bool online =
            dialer.SignOn(progress, clock, std::string(200, 'n'), std::string(128, 'p'));
        EXPECT_EQ(std::string(online ? "on-line, " : "off-line, ") + std::to_string(clock.sleptMs) +
                      " ms",
                  c.outcome);
        EXPECT_EQ(progress.made.empty() ? Strings{} : progress.made[0]->texts, c.texts);
    }
}

}  // namespace
