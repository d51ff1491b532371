#include "wizard/CTaskProgressWnd.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "support/ScriptedMessageBox.h"

namespace {

void PressEscapeWhilePumping(CTaskProgressWnd& w, bool cancelOnEscape) {
    QCoreApplication::postEvent(&w,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
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
}

TEST(CTaskProgressWnd, WithoutTheBarPositionsChangeNothing) {
    ScriptedMessageBox boxes;
    CTaskProgressWnd w(nullptr, "Send a Fax", true, false, boxes);
    w.SetRange(0, 10, 5);
    EXPECT_EQ(w.StepIt(), 5);
    EXPECT_EQ(w.SetPos(9), 9);
    EXPECT_EQ(w.windowTitle(), "Send a Fax");
    EXPECT_FALSE(w.findChild<QProgressBar*>("bar")->isVisible());
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
    EXPECT_EQ(w.findChild<QPushButton*>("cancel")->text(), " Cancel ");
}

TEST(CTaskProgressWnd, EscapeAsksAndOnlyYesStops) {
    ScriptedMessageBox boxes;
    CTaskProgressWnd w(nullptr, "Connecting to the Internet", true, true, boxes);
    w.SetConfirmPrompt("Do you want to stop connecting to the Internet?");

    PressEscapeWhilePumping(w, false);  // not asked to cancel on Escape
    EXPECT_TRUE(boxes.boxes.empty());

    boxes.Answer(MbResult::No);
    PressEscapeWhilePumping(w, true);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].text, "Do you want to stop connecting to the Internet?");
    EXPECT_EQ(boxes.boxes[0].caption, "Confirm");
    EXPECT_EQ(boxes.boxes[0].buttons, MbButtons::YesNo);
    EXPECT_FALSE(w.cancelled());
    EXPECT_TRUE(w.isVisible());

    boxes.Answer(MbResult::Yes);
    PressEscapeWhilePumping(w, true);
    EXPECT_TRUE(w.cancelled());
    EXPECT_FALSE(w.isVisible());
    // Hidden for good: later updates do not bring it back, and it asks no more.
    w.SetRange(0, 300, 1);
    w.SetPos(150);
    w.Show();
    EXPECT_FALSE(w.isVisible());
    PressEscapeWhilePumping(w, true);
    EXPECT_EQ(boxes.boxes.size(), 2u);
}

TEST(CTaskProgressWnd, CancelButtonRunsTheSameConfirmation) {
    ScriptedMessageBox boxes;
    QtTaskProgressFactory factory(boxes);
    auto progress = factory.Create("Send a Fax", true, false);
    auto* w = dynamic_cast<CTaskProgressWnd*>(progress.get());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->ConfirmPrompt(), "Do you want to stop the task?");
    w->findChild<QPushButton*>("cancel")->click();
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Do you want to stop the task?"});
    EXPECT_TRUE(progress->cancelled());
    EXPECT_FALSE(w->isVisible());
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
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(pumped);
}
