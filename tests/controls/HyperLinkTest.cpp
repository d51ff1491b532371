#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <optional>

#include "app/RegistryStore.h"
#include "controls/HyperLink.h"
#include "support/FakeShellLauncher.h"
#include "tests/support/ScriptedMessageBox.h"

namespace {

// A registry store file for the test, restored afterwards.
class Store {
  public:
    explicit Store(const std::string& body) {
        path_ = (std::filesystem::temp_directory_path() /
                 ("hyperlink-" + std::to_string(::getpid()) + ".reg"))
                    .string();
        std::ofstream(path_, std::ios::binary) << "Windows Registry Editor Version 5.00\r\n\r\n"
                                               << body;
        SetRegistryStorePath(path_);
    }
    ~Store() {
        SetRegistryStorePath(std::nullopt);
        std::filesystem::remove(path_);
    }

  private:
    std::string path_;
};

std::string Htm(const std::string& commandValue) {
    return "[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"htmlfile\"\r\n\r\n"
           "[HKEY_CLASSES_ROOT\\htmlfile\\shell\\open\\command]\r\n@=" +
           commandValue + "\r\n";
}

const std::string kUrl = "https://example.org/a?b=1&c=2";

// The result the opener hands on; the fake launcher answers at once.
int Open(const std::string& address, FakeLauncher& shell) {
    int result = -1;
    LinkOpener::OpenUrl(address, 5, shell, [&result](int r) { result = r; });
    return result;
}

TEST(OpenUrl, ShellSuccessStartsNothingElse) {
    Store store(Htm("\"/usr/bin/browser \\\"%1\\\"\""));
    FakeLauncher shell;
    shell.shellResult = 42;
    EXPECT_EQ(Open(kUrl, shell), 42);
    EXPECT_EQ(shell.opened, std::vector<std::string>{kUrl});
    EXPECT_TRUE(shell.started.empty());
}

TEST(OpenUrl, QuotedAndBarePlaceholdersAndNoneGiveTheAddressAsOneArgument) {
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {"\"\\\"/opt/My Browser/run\\\" -new \\\"%1\\\" --tail\"",
         {"/opt/My Browser/run", "-new", kUrl}},
        {"\"/usr/bin/browser -url %1\"", {"/usr/bin/browser", "-url", kUrl}},
        {"\"/usr/bin/browser\"", {"/usr/bin/browser", kUrl}},
    };
    for (const auto& [value, expected] : cases) {
        Store store(Htm(value));
        FakeLauncher shell;
        EXPECT_EQ(Open(kUrl, shell), 33) << value;
        ASSERT_EQ(shell.started.size(), 1u) << value;
        EXPECT_EQ(shell.started[0], expected) << value;
    }
}

TEST(OpenUrl, AddressWithQuotesAndShellCharactersStaysOneArgument) {
    Store store(Htm("\"/usr/bin/browser \\\"%1\\\"\""));
    FakeLauncher shell;
    const std::string nasty = "http://x/\"; rm -rf ~ `id` $(id) | cat & \"%1\" 'q'";
    (void)Open(nasty, shell);
    ASSERT_EQ(shell.started.size(), 1u);
    EXPECT_EQ(shell.started[0], (std::vector<std::string>{"/usr/bin/browser", nasty}));
}

TEST(OpenUrl, WithoutAssociationTheShellResultIsReturned) {
    // No .htm key, a .htm key without its open command, an empty command,
    // and a command line over the length limit.
    const std::string longProgram = "/usr/bin/" + std::string(600, 'b');
    const std::string stores[] = {
        "",
        "[HKEY_CLASSES_ROOT\\.htm]\r\n@=\"htmlfile\"\r\n",
        Htm("\"\""),
        Htm("\"" + longProgram + " %1\""),
    };
    for (const std::string& body : stores) {
        Store store(body);
        FakeLauncher shell;
        shell.shellResult = 31;
        EXPECT_EQ(Open(kUrl, shell), 31) << body;
        EXPECT_TRUE(shell.started.empty()) << body;
    }
}

TEST(OpenUrl, DesktopDefaultIsTheSecondFallbackAndStartFailuresAreReturned) {
    Store store("");
    FakeLauncher shell;
    shell.shellResult = 2;
    shell.desktopCommand = "firefox --new-window %1";
    shell.startResult = 5;
    EXPECT_EQ(Open(kUrl, shell), 5);
    ASSERT_EQ(shell.started.size(), 1u);
    EXPECT_EQ(shell.started[0], (std::vector<std::string>{"firefox", "--new-window", kUrl}));
}

TEST(ReportOpenError, EveryCodeHasItsText) {
    const std::pair<int, std::string> texts[] = {
        {0, "The operating system is out\nof memory or resources."},
        {2, "The specified file was not found."},
        {3, "The specified path was not found."},
        {5, "The operating system denied\naccess to the specified file."},
        {8, "There was not enough memory to complete the operation."},
        {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
        {26, "A sharing violation occurred. "},
        {27, "The filename association is\nincomplete or invalid."},
        {28, "The DDE transaction could not\nbe completed because the request timed out."},
        {29, "The DDE transaction failed."},
        {30,
         "The DDE transaction could not\nbe completed because other DDE transactions\nwere "
         "being processed."},
        {31, "There is no application associated\nwith the given filename extension."},
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
        EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::Ok);
    }
}

TEST(HyperLinkWidget, ClickMarksVisitedOnSuccessAndReportsFailure) {
    Store store("");
    ScriptedMessageBox boxes;
    FakeLauncher shell;
    HyperLink link(QStringLiteral("Get Zephrim Now"), nullptr, boxes, &shell);
    link.SetURL("https://service.example/");
    EXPECT_EQ(link.toolTip(), QStringLiteral("https://service.example/"));
    EXPECT_EQ(link.CurrentColor(), QColor(0, 0, 238));
    EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);

    shell.shellResult = 26;
    link.Click();
    EXPECT_FALSE(link.visited());
    ASSERT_EQ(boxes.Texts(), std::vector<std::string>{
                                 "Unable to open hyperlink:\n\nA sharing violation occurred. "});

    shell.shellResult = 42;
    link.show();
    QTest::mouseClick(&link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(shell.opened.back(), "https://service.example/");
    EXPECT_TRUE(link.visited());
    EXPECT_EQ(link.CurrentColor(), QColor(85, 26, 139));
    EXPECT_EQ(boxes.boxes.size(), 1u);
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
    EXPECT_TRUE(link.over());
    EXPECT_EQ(link.CurrentColor(), QColor(255, 0, 0));
    EXPECT_TRUE(link.font().underline());

    QCursor::setPos(link.mapToGlobal(QPoint(-30, -30)));
    QTRY_VERIFY_WITH_TIMEOUT(!link.over(), 1000);
    EXPECT_FALSE(link.font().underline());
    EXPECT_EQ(link.CurrentColor(), QColor(0, 0, 238));

    link.SetUnderline(1);
    EXPECT_TRUE(link.font().underline());
}

}  // namespace
