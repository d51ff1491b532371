#include "controls/CaretRest.h"

#include <QApplication>
#include <QEvent>

CaretRest::CaretRest(int restAfterMs, QObject* parent)
    : QObject(parent), flashTime_(QApplication::cursorFlashTime()) {
    rest_.setSingleShot(true);
    rest_.setInterval(restAfterMs);
    connect(&rest_, &QTimer::timeout, this, &CaretRest::Rest);
    qApp->installEventFilter(this);
    rest_.start();
}

CaretRest::~CaretRest() {
    qApp->removeEventFilter(this);
    Wake();
}

void CaretRest::Rest() {
    resting_ = true;
    // A flash time of 0 shows the caret steadily, without its timer.
    QApplication::setCursorFlashTime(0);
}

void CaretRest::Wake() {
    if (resting_) QApplication::setCursorFlashTime(flashTime_);
    resting_ = false;
}

bool CaretRest::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::Wheel:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
            Wake();
            rest_.start();
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
