#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "controls/BuiltInHelp.h"
#include "controls/ColorLabel.h"
#include "controls/HelpService.h"
#include "controls/HelpWindow.h"
#include "controls/IconButton.h"
#include "controls/Look.h"
#include "support/RecordingOpener.h"
#include "support/ScriptedMessageBox.h"
#include "support/TempFolder.h"

namespace {

QColor PixelAt(QWidget& w, int x, int y) { return w.grab().toImage().pixelColor(x, y); }

TEST(ColorLabel, BackgroundFollowsFaceColourUntilSetThenKeepsItsOwn) {
    ColorLabel label(QStringLiteral("Files:"), nullptr, 1017);
    label.resize(80, 20);
    QPalette pal = label.palette();
    pal.setColor(QPalette::Button, QColor(10, 20, 30));
    label.setPalette(pal);
    EXPECT_EQ(PixelAt(label, 1, 1), QColor(10, 20, 30));
    look::StyleLabel(label);
    EXPECT_EQ(PixelAt(label, 1, 1), look::kPanel);
    pal.setColor(QPalette::Button, QColor(200, 0, 0));
    label.setPalette(pal);
    EXPECT_EQ(PixelAt(label, 1, 1), look::kPanel);
    // A face name is kept to the 31 characters a font description holds.
    label.SetFontName(QString(40, QLatin1Char('F')));
    EXPECT_EQ(label.labelFont().family(), QString(31, QLatin1Char('F')));
}

TEST(ColorLabel, OnlyAClickableLabelReportsClicksButEveryPressNotifies) {
    ColorLabel label(QStringLiteral("To:"), nullptr, 1022);
    label.resize(40, 20);
    QSignalSpy clicks(&label, &ColorLabel::clicked);
    QSignalSpy notes(&label, &ColorLabel::notify);
    QTest::mouseClick(&label, Qt::LeftButton);
    EXPECT_EQ(clicks.count(), 0);
    ASSERT_EQ(notes.count(), 1);
    EXPECT_EQ(notes.at(0).at(1).toInt(), ColorLabel::kPressNotification);
    label.SetLink(true);
    QTest::mouseClick(&label, Qt::LeftButton);
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toInt(), 1022);
}

// Centred vertically as one line unless the text breaks with CR LF.
TEST(ColorLabel, CentreImageCentresOneLineOnlyWithoutCrLf) {
    const int one = ColorLabel::TextFlags(ColorLabel::Style::Left, true, "one line");
    const int two = ColorLabel::TextFlags(ColorLabel::Style::Left, true, "a\r\nb");
    EXPECT_EQ(std::make_pair(one & Qt::AlignVCenter, one & Qt::TextWordWrap),
              std::make_pair(int(Qt::AlignVCenter), 0));
    EXPECT_EQ(std::make_pair(two & Qt::AlignTop, two & Qt::TextWordWrap),
              std::make_pair(int(Qt::AlignTop), int(Qt::TextWordWrap)));
}

TEST(IconButton, FlatWithoutHoverBorderDrawsNoEdgeAndPressedShiftsIcon) {
    IconButton b(QString(), nullptr, 1022);
    b.resize(40, 40);
    b.SetIcon(145);
    b.SetShowText(false);
    b.SetHoverBorder(false);
    b.SetNormalBkColor(look::kPanel, true);
    b.SetHotBkColor(look::kPanel, true);
    const QRect before = b.iconRect();
    for (bool down : {false, true}) {
        b.setDown(down);
        const QImage shot = b.grab().toImage();
        for (int x = 0; x < 40; ++x)
            for (int y : {0, 39}) ASSERT_EQ(shot.pixelColor(x, y), look::kPanel) << x << "," << y;
    }
    EXPECT_EQ(b.iconRect().topLeft(), before.topLeft() + QPoint(1, 1));
}

TEST(DesktopHelp, OpensTheProductsPageThenOursThenTheHelpFileElseSaysSo) {
    struct Case {
        const char* what;
        std::vector<std::string> files;  // made in the temporary folder
        bool openerWorks;
        std::string opened;  // relative to the folder; empty: nothing opened
    };
    const std::vector<Case> cases = {
        {"product page",
         {"qv20helpfile/219.html", "pages/219.html"},
         true,
         "qv20helpfile/219.html"},
        {"our page", {"pages/219.html", "qv20helpfile.hlp"}, true, "pages/219.html"},
        {"help file", {"qv20helpfile.hlp", "pages/175.html"}, true, "qv20helpfile.hlp"},
        {"nothing there", {"pages/175.html"}, true, ""},
        {"desktop cannot open it", {"pages/219.html"}, false, "pages/219.html"},
        {"desktop cannot open the help file", {"qv20helpfile.hlp"}, false, "qv20helpfile.hlp"},
    };
    for (const Case& c : cases) {
        const TempFolder tmp;
        const std::string& dir = tmp.path();
        for (const std::string& f : c.files) {
            std::filesystem::create_directories(std::filesystem::path(dir + f).parent_path());
            std::ofstream(dir + f) << "<title>Page " << f << "</title><p>help</p>";
        }
        const auto helpFile = [&] { return dir + "qv20helpfile.hlp"; };
        const std::vector<std::string> folders = {dir + "nowhere", dir + "pages"};
        const bool page = c.opened.ends_with(".html");
        // Through the desktop, and in the program's own window, never given to the desktop.
        for (const bool builtIn : {false, true}) {
            RecordingOpener opener;
            opener.works = c.openerWorks;
            ScriptedMessageBox boxes;
            DesktopHelp desktop(opener, helpFile, folders, &boxes);
            BuiltInHelp own(opener, helpFile, folders, &boxes);
            HelpService& help = builtIn ? static_cast<HelpService&>(own) : desktop;
            help.ShowContext(219);
            const std::string what = std::string(c.what) + (builtIn ? " (window)" : "");
            const bool desktopOpens = !c.opened.empty() && !(builtIn && page);
            EXPECT_EQ(opener.opened, desktopOpens ? std::vector<std::string>{dir + c.opened}
                                                  : std::vector<std::string>{})
                << what;
            const bool shown = builtIn && page;
            ASSERT_EQ(own.window() && own.window()->isVisible(), shown) << what;
            if (shown) {
                EXPECT_EQ(own.window()->browser()->source(),
                          QUrl::fromLocalFile(QString::fromStdString(dir + c.opened)))
                    << what;
                EXPECT_EQ(own.window()->windowTitle().toStdString(), "Page " + c.opened) << what;
                HelpWindow* const first = own.window();
                own.ShowContext(219);  // one window, raised again
                EXPECT_EQ(own.window(), first) << what;
                own.Quit();
                EXPECT_FALSE(own.window()->isVisible()) << what;
            }
            const bool told = c.opened.empty() || (desktopOpens && !c.openerWorks);
            ASSERT_EQ(boxes.boxes.size(), told ? 1u : 0u) << what;
            if (told) {
                EXPECT_EQ(boxes.boxes[0].text,
                          builtIn && c.opened.empty() ? kNoHelpPageText : kNoHelpText)
                    << what;
            }
        }
    }
}

}  // namespace
