#include "controls/MnemonicGuard.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

void MnemonicGuard::Install(QApplication& app) {
    app.installEventFilter(new MnemonicGuard(&app));  // owned by the application
}

bool MnemonicGuard::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // Alt alone: AltGr characters come with other modifiers and stay.
    if (key->modifiers() != Qt::AltModifier || key->text().isEmpty() ||
        !key->text().at(0).isPrint())
        return false;
    return qobject_cast<QLineEdit*>(watched) || qobject_cast<QPlainTextEdit*>(watched) ||
           qobject_cast<QTextEdit*>(watched) || qobject_cast<QAbstractSpinBox*>(watched) ||
           qobject_cast<QComboBox*>(watched);
}
