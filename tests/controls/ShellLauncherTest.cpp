// The desktop launcher against stand-in scripts answers through the event loop.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QTest>
#include <filesystem>
#include <string>

#include "controls/core/ShellLauncher.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace {

int argc = 1;
char name[] = "shell_launcher_test";
char* argv[] = {name, nullptr};

// PATH and XDG_DATA_HOME lead to the test's folder until the end of the test.
struct Desktop {
    void Script(const std::string& name, const std::string& body) const {
        folder.Write(name, "#!/bin/sh\n" + body);
        ::chmod(folder.file(name).c_str(), 0755);
    }
    TempFolder folder;
    ScopedEnv path{"PATH", folder.path() + ":/usr/bin:/bin"};
    ScopedEnv data{"XDG_DATA_HOME", folder.path()};
};

TEST(DesktopShellLauncher, OpenAnswersFromTheOpenersExitWithoutWaitingForIt) {
    QCoreApplication app(argc, argv);
    Desktop desktop;
    // The opener ends only once told to, with the exit code it is given.
    desktop.Script("xdg-open",
                   "while [ ! -e \"$0.go\" ]; do sleep 0.02; done\n"
                   "rm -f \"$0.go\"\nexit $(cat \"$0.code\")\n");
    const std::pair<int, int> codes[] = {{0, 42}, {1, 27}, {2, 2}, {3, 31}, {4, 31}};
    DesktopShellLauncher launcher;
    for (const auto& [exitCode, result] : codes) {
        desktop.folder.Write("xdg-open.code", std::to_string(exitCode));
        int answer = -1;
        launcher.ShellOpen("https://example.org/", 5, [&answer](int r) { answer = r; });
        QTest::qWait(50);
        EXPECT_EQ(answer, -1) << exitCode;
        desktop.folder.Write("xdg-open.go", "");
        EXPECT_TRUE(QTest::qWaitFor([&answer] { return answer != -1; }, 3000));
        EXPECT_EQ(answer, result) << exitCode;
    }

    int answer = -1;
    launcher.ShellOpen(desktop.folder.file("missing/file.html"), 5, [&](int r) { answer = r; });
    EXPECT_EQ(answer, 3);
    qputenv("PATH", QByteArray::fromStdString(desktop.folder.file("none")));
    answer = -1;
    launcher.ShellOpen("https://example.org/", 5, [&](int r) { answer = r; });
    EXPECT_TRUE(QTest::qWaitFor([&answer] { return answer != -1; }, 3000));
    EXPECT_EQ(answer, 31);
}

TEST(DesktopShellLauncher, HtmlCommandIsTheDefaultBrowsersExecLine) {
    QCoreApplication app(argc, argv);
    Desktop desktop;
    std::filesystem::create_directories(desktop.folder.file("applications"));
    desktop.folder.Write("applications/browser.desktop",
                         "[Desktop Action window]\nExec=/opt/other %u\n"
                         "[Desktop Entry]\nName=Browser\nExec=/opt/browser --new %U %f 100%%\n");
    const std::pair<std::string, std::string> cases[] = {
        {"echo browser.desktop\n", "/opt/browser --new %1  100%"},
        {"echo browser.desktop; exit 1\n", ""},
        {"echo unknown.desktop\n", ""},
    };
    DesktopShellLauncher launcher;
    for (const auto& [script, command] : cases) {
        desktop.Script("xdg-mime", script);
        std::string answer = "none";
        launcher.DesktopHtmlCommand([&answer](const std::string& c) { answer = c; });
        EXPECT_TRUE(QTest::qWaitFor([&answer] { return answer != "none"; }, 3000));
        EXPECT_EQ(answer, command) << script;
    }
}

}  // namespace
