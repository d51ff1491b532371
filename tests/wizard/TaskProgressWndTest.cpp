#include "wizard/ui/CTaskProgressWnd.h"

#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>

#include "controls/QtMessageBoxService.h"
#include "support/ScriptedMessageBox.h"

namespace {

void PressEscapeWhilePumping(CTaskProgressWnd& w, bool cancelOnEscape, int presses = 1) {
    for (int i = 0; i < presses; ++i)
        QCoreApplication::postEvent(
            &w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    w.PumpMessages(cancelOnEscape);
}

}  // namespace

TEST(CTaskProgressWnd, CaptionShowsTheWholePercentOfTheBar) {
    ScriptedMessageBox boxes;
    CTaskProgressWnd w(nullptr, "Connecting to the Internet", true, true, boxes);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.windowTitle(), "Connecting to the Internet");
    w.SetRange(0, 300, 1);
    for (int i = 0; i < 2; ++i) w.StepIt();
    EXPECT_EQ(w.windowTitle(), "Connecting to the Internet");  // still 0 percent
    w.StepIt();
    EXPECT_EQ(w.windowTitle(), "Connecting to the Internet [1%]");
    for (int i = 3; i < 150; ++i) w.StepIt();
    EXPECT_EQ(w.windowTitle(), "Connecting to the Internet [50%]");
    EXPECT_EQ(w.findChild<QProgressBar*>("bar")->value(), 150);
    EXPECT_TRUE(w.findChild<QProgressBar*>("bar")->isVisible());

    // An empty range gives 0 percent instead of a division by zero.
    w.SetRange(7, 7, 1);
    EXPECT_EQ(w.SetPos(5), 5);
    EXPECT_EQ(w.windowTitle(), "Connecting to the Internet [0%]");

    // Without the bar, positions change nothing.
    CTaskProgressWnd plain(nullptr, "Send a Fax", true, false, boxes);
    plain.SetRange(0, 10, 5);
    EXPECT_EQ((std::tuple{plain.StepIt(), plain.SetPos(9)}), std::tuple(5, 9));
    EXPECT_EQ(plain.windowTitle(), "Send a Fax");
    EXPECT_FALSE(plain.findChild<QProgressBar*>("bar")->isVisible());
}

TEST(CTaskProgressWnd, TextIsPlainAndCutBelowTheLimit) {
    ScriptedMessageBox boxes;
    CTaskProgressWnd w(nullptr, "Send a Fax", true, false, boxes);
    auto* text = w.findChild<QLabel*>("text");
    w.SetText("Sending your fax, please wait...");
    EXPECT_EQ(text->text(), "Sending your fax, please wait...");
    w.SetText("<b>&Dial</b>");
    EXPECT_EQ(text->textFormat(), Qt::PlainText);
    EXPECT_EQ(text->text(), "<b>&Dial</b>");
    // 1,030 ASCII bytes then a two-byte letter: the letter would pass the limit.
    w.SetText(std::string(1030, 'a') + "\xC3\xA9" + "tail");
    EXPECT_EQ(text->text().toUtf8().size(), 1030);
    // Four lines of text fit above the button.
    EXPECT_GE(text->height(), 4 * QFontMetrics(w.font()).lineSpacing() - 4);
    EXPECT_GT(w.findChild<QPushButton*>("cancel")->geometry().top(), text->geometry().bottom());
}

// Every way to stop asks once; Yes stops, and the window stays until destroyed.
TEST(CTaskProgressWnd, EveryStopAsksOnceAndOnlyYesStops) {
    using Ask = std::function<void(CTaskProgressWnd&)>;
    const std::vector<std::pair<const char*, Ask>> ways = {
        {"Escape while pumping", [](CTaskProgressWnd& w) { PressEscapeWhilePumping(w, true); }},
        {"Escape twice while pumping",
         [](CTaskProgressWnd& w) { PressEscapeWhilePumping(w, true, 2); }},
        {"Escape between pumps", [](CTaskProgressWnd& w) { QTest::keyClick(&w, Qt::Key_Escape); }},
        {"close button",
         [](CTaskProgressWnd& w) {
             QCloseEvent close;
             QSpontaneKeyEvent::setSpontaneous(&close);
             qApp->notify(&w, &close);
             EXPECT_FALSE(close.isAccepted());
         }},
        {"Cancel button",
         [](CTaskProgressWnd& w) { w.findChild<QPushButton*>("cancel")->click(); }},
    };
    for (const auto& [name, ask] : ways) {
        SCOPED_TRACE(name);
        ScriptedMessageBox boxes;
        QtTaskProgressFactory factory(boxes);
        auto progress = factory.Create("Connecting to the Internet", true, true);
        auto& w = dynamic_cast<CTaskProgressWnd&>(*progress);
        w.SetConfirmPrompt("Do you want to stop connecting to the Internet?");
        w.SetText("Dialing...");

        PressEscapeWhilePumping(w, false);  // not asked to cancel on Escape
        EXPECT_TRUE(boxes.boxes.empty());

        boxes.Answer(MbResult::No);
        ask(w);
        ASSERT_EQ(boxes.boxes.size(), 1u);
        EXPECT_EQ(boxes.boxes[0].text, "Do you want to stop connecting to the Internet?");
        EXPECT_EQ(boxes.boxes[0].caption, "Confirm");
        EXPECT_FALSE(w.cancelled());

        boxes.Answer(MbResult::Yes);
        ask(w);
        EXPECT_EQ(boxes.boxes.size(), 2u);
        EXPECT_TRUE(w.cancelled() && w.isVisible());
        EXPECT_EQ(w.findChild<QLabel*>("text")->text(), "Stopping...");
        EXPECT_FALSE(w.findChild<QPushButton*>("cancel")->isEnabled());
        // Progress still shows, and nothing asks again.
        w.SetRange(0, 300, 1);
        w.SetPos(150);
        EXPECT_EQ(w.windowTitle(), "Connecting to the Internet [50%]");
        ask(w);
        PressEscapeWhilePumping(w, true);
        EXPECT_TRUE(boxes.boxes.size() == 2u && w.isVisible()) << boxes.boxes.size();
    }
}

// The window takes the focus, and its question opens above it.
TEST(CTaskProgressWnd, QuestionOpensAboveTheWindowWhichHasTheFocus) {
    QWidget owner;
    owner.show();
    QtMessageBoxService boxes(&owner);
    CTaskProgressWnd w(&owner, "Send a Fax", true, false, boxes);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
    EXPECT_EQ(QApplication::focusWidget(), &w);
    QWidget* parent = nullptr;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        parent = box->parentWidget();
        box->button(QMessageBox::No)->click();
    });
    answer.start(10);
    PressEscapeWhilePumping(w, true);
    EXPECT_TRUE(parent == &w && !w.cancelled());
}

TEST(CTaskProgressWnd, QuitArrivingWhilePumpingStillEndsTheApplication) {
    ScriptedMessageBox boxes;
    CTaskProgressWnd w(nullptr, "Send a Fax", true, false, boxes);
    bool pumped = false;
    QTimer::singleShot(0, [&] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
        for (int i = 0; i < 3; ++i) w.PumpMessages(true);
        pumped = true;
    });
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    EXPECT_TRUE(QApplication::exec() == 0 && pumped);
}
