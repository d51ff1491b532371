#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include "controls/MnemonicGuard.h"

namespace {

// An untaken Alt+letter never types; plain, AltGr and enabled mnemonics still work.
TEST(MnemonicGuard, AltLettersReachButtonsNeverTheFocusedField) {
    static bool installed = false;
    if (!installed)
        MnemonicGuard::Install(*qobject_cast<QApplication*>(QCoreApplication::instance()));
    installed = true;

    struct Case {
        bool buttonEnabled;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString typed;
        int clicks;
    };
    const Case cases[] = {
        {false, Qt::Key_A, Qt::AltModifier, QString(), 0},           // disabled mnemonic
        {true, Qt::Key_A, Qt::AltModifier, QString(), 1},            // enabled mnemonic
        {true, Qt::Key_Z, Qt::AltModifier, QString(), 0},            // no such mnemonic
        {false, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"), 0},  // plain typing
        {false, Qt::Key_Q, Qt::AltModifier | Qt::ControlModifier, QStringLiteral("q"),
         0},  // AltGr: Ctrl+Alt
    };
    for (const Case& c : cases) {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* field = new QLineEdit(&window);
        auto* button = new QPushButton(QStringLiteral("&Add"), &window);
        layout->addWidget(field);
        layout->addWidget(button);
        button->setEnabled(c.buttonEnabled);
        window.show();
        field->setFocus();
        QSignalSpy clicked(button, &QPushButton::clicked);
        window.activateWindow();
        if (!QTest::qWaitForWindowActive(&window)) GTEST_SKIP() << "no active window";
        QTest::keyClick(field, c.key, c.modifiers);
        // A mnemonic presses its button for a moment before it clicks.
        if (c.clicks > 0) (void)clicked.wait(2000);
        EXPECT_EQ(field->text(), c.typed) << int(c.key) << " " << int(c.modifiers);
        EXPECT_EQ(clicked.count(), c.clicks) << int(c.key) << " " << int(c.modifiers);
    }
}

}  // namespace
