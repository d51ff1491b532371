#include <gtest/gtest.h>

#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QWindow>
#include <filesystem>
#include <fstream>

#include "controls/HelpService.h"
#include "controls/HelpWindow.h"
#include "support/RecordingOpener.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"

namespace {

// Pages in help/, one more page beside that folder and a link to it inside.
struct HelpPages {
    TempFolder tmp;
    std::string help = tmp.path() + "help/";

    explicit HelpPages(const std::string& href) {
        std::filesystem::create_directories(help + "sub");
        Page(help + "a.html", "First", "<a href=\"" + href + "\">go</a>");
        Page(help + "b.html", "Second", "<p>top</p><h2 id=\"part\">Part</h2>");
        Page(tmp.path() + "secret.html", "Secret", "<p>outside</p>");
        std::filesystem::create_symlink(tmp.path() + "secret.html", help + "link.html");
    }
    static void Page(const std::string& path, const std::string& title, const std::string& body) {
        std::ofstream(path) << "<html><head><title>" << title << "</title></head><body>" << body
                            << "</body></html>";
    }
};

TEST(HelpWindow, FollowsLinksInsideTheHelpFoldersOnlyAndGivesAddressesToTheDesktop) {
    struct Case {
        std::string href;
        bool openerWorks;
        std::string shown;   // the page shown after the link, relative to help/
        std::string opened;  // given to the desktop
        const char* told;    // the box's text (the address in its %1), nullptr for none
    };
    const std::vector<Case> cases = {
        {"b.html", true, "b.html", "", nullptr},
        {"b.html#part", true, "b.html#part", "", nullptr},
        {"sub/../b.html", true, "b.html", "", nullptr},
        {"#nowhere", true, "a.html#nowhere", "", nullptr},
        {"https://example.org/x?y=1", false, "a.html", "https://example.org/x?y=1", kNoLinkText},
        {"https://example.org/x?y=1", true, "a.html", "https://example.org/x?y=1", nullptr},
        {"mailto:ann@example.org", false, "a.html", "mailto:ann@example.org", kNoLinkText},
        {"missing.html", true, "a.html", "", kNoHelpPageText},
        {"../secret.html", true, "a.html", "", kNoHelpPageText},
        {"sub/../../secret.html", true, "a.html", "", kNoHelpPageText},
        {"link.html", true, "a.html", "", kNoHelpPageText},
        {"b.html%00.html", true, "a.html", "", kNoHelpPageText},
        {"ftp://example.org/b.html", true, "a.html", "", kNoHelpPageText},
    };
    for (const Case& c : cases) {
        HelpPages pages(c.href);
        RecordingOpener opener;
        opener.works = c.openerWorks;
        ScriptedMessageBox boxes;
        HelpWindow window(opener, &boxes);
        window.SetFolders({pages.tmp.path() + "nowhere", pages.help}, pages.help + "b.html");
        ASSERT_TRUE(window.ShowPage(pages.help + "a.html")) << c.href;
        EXPECT_EQ(window.windowTitle(), QStringLiteral("First"));
        // The link, reached with Tab and followed with Enter.
        QTest::keyClick(window.browser(), Qt::Key_Tab);
        QTest::keyClick(window.browser(), Qt::Key_Return);
        EXPECT_EQ(window.browser()->source().toString().toStdString(),
                  "file://" + pages.help + c.shown)
            << c.href;
        EXPECT_EQ(opener.opened,
                  c.opened.empty() ? std::vector<std::string>{} : std::vector{c.opened})
            << c.href;
        ASSERT_EQ(boxes.boxes.size(), c.told ? 1u : 0u) << c.href;
        if (c.told) {
            EXPECT_EQ(boxes.boxes[0].text,
                      c.told == kNoLinkText ? TranslatedText(c.told, c.opened) : c.told)
                << c.href;
        }
        // Alt+Left returns to where the link led away; Home shows the home page.
        const bool moved = c.shown != "a.html";
        EXPECT_EQ(window.backButton()->isEnabled(), moved) << c.href;
        QTest::keyClick(window.browser(), Qt::Key_Left, Qt::AltModifier);
        EXPECT_EQ(window.browser()->source().fileName(), QStringLiteral("a.html")) << c.href;
        EXPECT_EQ(window.forwardButton()->isEnabled(), moved) << c.href;
        window.homeButton()->click();
        EXPECT_EQ(window.windowTitle(), QStringLiteral("Second")) << c.href;
    }
}

TEST(HelpWindow, HostilePageNamesAndPathsNeverLeaveTheHelpFolders) {
    HelpPages pages("b.html");
    const std::string outside = pages.tmp.path() + "secret";
    RecordingOpener opener;
    ScriptedMessageBox boxes;
    DesktopHelp choose(opener, {}, {pages.help});
    HelpWindow window(opener, &boxes);
    window.SetFolders({pages.help}, {});
    for (const std::string& name :
         {std::string("../secret"), outside, std::string("sub/../../secret"),
          std::string("a\0/../../secret", 15), std::string("link"), std::string("")}) {
        const std::string target = choose.TargetFor(name);
        EXPECT_TRUE(target.empty() || target == pages.help + "link.html") << name;
        if (!target.empty()) {
            EXPECT_FALSE(window.ShowPage(target)) << name;
        }
    }
    for (const std::string& path : {pages.help + "../secret.html", outside + ".html",
                                    pages.help + "link.html", pages.help + "sub"})
        EXPECT_FALSE(window.ShowPage(path)) << path;
    EXPECT_TRUE(boxes.boxes.size() == 5u && !window.isVisible()) << boxes.boxes.size();
    EXPECT_EQ(choose.TargetFor("a"), pages.help + "a.html");
}

// Shown while a modal dialog runs, the window stands over it and takes input.
TEST(HelpWindow, OpenedFromAModalDialogIsNotBlockedByIt) {
    HelpPages pages("b.html");
    RecordingOpener opener;
    HelpWindow window(opener, nullptr);
    window.SetFolders({pages.help}, {});
    QDialog dialog;
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    struct Watch : QObject {
        int blocked = 0;
        bool eventFilter(QObject*, QEvent* e) override {
            blocked += e->type() == QEvent::WindowBlocked;
            return false;
        }
    } watch;
    window.installEventFilter(&watch);
    ASSERT_TRUE(window.ShowPage(pages.help + "a.html"));
    QCoreApplication::processEvents();
    EXPECT_EQ(watch.blocked, 0);
    EXPECT_EQ(window.windowHandle()->transientParent(), dialog.windowHandle());
}

}  // namespace
