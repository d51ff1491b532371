#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include "controls/HyperLink.h"
#include "support/FakeShellLauncher.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempStore.h"

namespace {

std::string Htm(const std::string& commandValue) {
    return "[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"htmlfile\"\r\n\r\n"
           "[HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command]\r\n@=" +
           commandValue + "\r\n";
}

const std::string kUrl = "https://example.org/a?b=1&c=2";

// The shell, then the .htm association, then the desktop's browser; the address one argument.
TEST(OpenUrl, ShellThenAssociationThenDesktopDefault) {
    const std::string nasty = "http://x/\"; rm -rf ~ `id` $(id) | cat & \"%1\" 'q'";
    struct Case {
        std::string store;
        int shellResult;
        std::string desktop;  // the desktop's default command
        std::string address;
        int result;
        std::vector<std::string> started;  // empty: nothing started
    };
    const std::string longProgram = "/usr/bin/" + std::string(600, 'b');
    const std::string quoted = Htm("\"\\\"/opt/My Browser/run\\\" -new \\\"%1\\\" --tail\"");
    const Case cases[] = {
        {Htm("\"/usr/bin/browser \\\"%1\\\"\""), 42, "", kUrl, 42, {}},
        {quoted, 31, "", kUrl, 33, {"/opt/My Browser/run", "-new", kUrl}},
        {Htm("\"/usr/bin/browser -url %1\""), 31, "", kUrl, 33, {"/usr/bin/browser", "-url", kUrl}},
        {Htm("\"/usr/bin/browser\""), 31, "", kUrl, 33, {"/usr/bin/browser", kUrl}},
        {Htm("\"/usr/bin/browser \\\"%1\\\"\""), 31, "", nasty, 33, {"/usr/bin/browser", nasty}},
        // No usable association: the shell's result.
        {"", 31, "", kUrl, 31, {}},
        {"[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"htmlfile\"\r\n", 31, "", kUrl, 31, {}},
        {Htm("\"\""), 31, "", kUrl, 31, {}},
        {Htm("\"" + longProgram + " %1\""), 31, "", kUrl, 31, {}},
        {"", 2, "firefox --new-window %1", kUrl, 33, {"firefox", "--new-window", kUrl}},
    };
    for (const Case& c : cases) {
        TempStore store;
        store.Write(kRegHeader + c.store);
        FakeLauncher shell;
        shell.shellResult = c.shellResult;
        shell.desktopCommand = c.desktop;
        int result = -1;
        LinkOpener::OpenUrl(c.address, 5, shell, [&result](int r) { result = r; });
        EXPECT_EQ(result, c.result) << c.store;
        EXPECT_EQ(shell.opened, std::vector<std::string>{c.address});
        using Argvs = std::vector<std::vector<std::string>>;
        EXPECT_EQ(shell.started, c.started.empty() ? Argvs{} : Argvs{c.started}) << c.store;
    }
}

TEST(ReportOpenError, CodesHaveTheirTextsOthersAreUnknown) {
    const std::pair<int, std::string> texts[] = {
        {0, "The operating system is out\nof memory or resources."},
        {32, "The specified dynamic-link library was not found."},
        {99, "Unknown Error (99) occurred."},
        {-7, "Unknown Error (-7) occurred."},
    };
    for (const auto& [code, text] : texts) {
        ScriptedMessageBox boxes;
        LinkOpener::ReportOpenError(code, boxes);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, "Unable to open hyperlink:\n\n" + text) << code;
        EXPECT_EQ(boxes.boxes[0].caption, kMessageCaption);
        EXPECT_EQ(boxes.boxes[0].icon, MbIcon::Exclamation);
    }
}

TEST(HyperLinkWidget, ClickMarksVisitedOnSuccessAndReportsFailure) {
    const TempStore store;
    ScriptedMessageBox boxes;
    FakeLauncher shell;
    HyperLink link(QStringLiteral("Get Zephrim Now"), nullptr, boxes, &shell);
    link.SetURL("https://service.example/");
    EXPECT_EQ(link.CurrentColor(), QColor(0, 0, 238));

    shell.shellResult = 26;
    link.Click();
    EXPECT_TRUE(!link.visited() && boxes.boxes.size() == 1u);

    shell.shellResult = 42;
    link.show();
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(shell.opened.back(), "https://service.example/");
    EXPECT_TRUE(link.visited() && boxes.boxes.size() == 1u);
    EXPECT_EQ(link.CurrentColor(), QColor(85, 26, 139));
}

TEST(HyperLinkWidget, HoverColoursAndUnderlinesUntilTheMouseLeaves) {
    ScriptedMessageBox boxes;
    FakeLauncher shell;
    HyperLink link(QStringLiteral("https://service.example/"), nullptr, boxes, &shell);
    link.move(50, 50);
    link.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&link));
    QCursor::setPos(link.mapToGlobal(QPoint(2, 2)));
    QTest::mouseMove(&link, QPoint(2, 2));
    EXPECT_TRUE(link.over() && link.font().underline());
    EXPECT_EQ(link.CurrentColor(), QColor(255, 0, 0));

    QCursor::setPos(link.mapToGlobal(QPoint(-30, -30)));
    QTRY_VERIFY_WITH_TIMEOUT(!link.over(), 1000);
    EXPECT_FALSE(link.font().underline());
    EXPECT_EQ(link.CurrentColor(), QColor(0, 0, 238));
}

}  // namespace
