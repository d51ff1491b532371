// The caret stops blinking after a rest without input and blinks again on input.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTest>

#include "controls/CaretRest.h"

namespace {

// Counts the timer events of a line edit and its parts: the caret's blinking.
class Ticks final : public QObject {
  public:
    explicit Ticks(QObject* edit) : edit_(edit) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Timer && (watched == edit_ || watched->parent() == edit_))
            ++count;
        return false;
    }
    int count = 0;

  private:
    QObject* edit_;
};

int TicksWithin(QLineEdit& edit, int ms) {
    Ticks ticks(&edit);
    qApp->installEventFilter(&ticks);
    QTest::qWait(ms);
    qApp->removeEventFilter(&ticks);
    return ticks.count;
}

TEST(CaretRest, TheCaretRestsAfterTheTimeWithoutInputAndBlinksAgainOnInput) {
    QApplication::setCursorFlashTime(60);
    QLineEdit edit;
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    {
        CaretRest rest(300);
        EXPECT_GT(TicksWithin(edit, 200), 0);  // blinking before the rest
        EXPECT_FALSE(rest.resting());
        QTest::qWait(200);
        ASSERT_TRUE(rest.resting());
        EXPECT_EQ(QApplication::cursorFlashTime(), 0);
        EXPECT_EQ(TicksWithin(edit, 300), 0);  // nothing wakes the idle window

        // Each kind of input wakes it, and the time starts anew.
        for (auto press : {+[](QLineEdit& e) { QTest::keyClick(&e, Qt::Key_5); },
                           +[](QLineEdit& e) { QTest::mouseClick(&e, Qt::LeftButton); }}) {
            press(edit);
            EXPECT_TRUE(!rest.resting() && QApplication::cursorFlashTime() == 60);
            EXPECT_GT(TicksWithin(edit, 200), 0);
            QTest::qWait(250);
            EXPECT_TRUE(rest.resting());
        }
    }
    // Gone, it leaves the caret blinking as it found it.
    EXPECT_EQ(QApplication::cursorFlashTime(), 60);
    EXPECT_EQ(edit.text(), QStringLiteral("5"));
}

}  // namespace
