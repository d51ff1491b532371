#include "controls/Placement.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

QWidget* TopMostWindow() {
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->windowType() == Qt::Window &&
            (w->windowFlags() & Qt::WindowStaysOnTopHint))
            found = w;
    return found;
}

QWidget* OwnerWindow(QWidget* preferred) {
    if (QWidget* top = TopMostWindow()) return top;
    return preferred ? preferred : QApplication::activeWindow();
}

void CentreOver(QWidget& window, const QWidget* owner) {
    const QScreen* screen = window.screen();
    if (!screen) screen = QGuiApplication::primaryScreen();
    const QRect room = screen ? screen->availableGeometry() : QRect();
    const QWidget* over = owner ? owner->window() : nullptr;
    QRect placed = window.frameGeometry();
    if (over && over->isVisible())
        placed.moveCenter(over->frameGeometry().center());
    else if (room.isValid())
        placed.moveCenter(room.center());
    if (room.isValid()) {
        placed.moveLeft(std::clamp(placed.left(), room.left(),
                                   std::max(room.left(), room.right() - placed.width() + 1)));
        placed.moveTop(std::clamp(placed.top(), room.top(),
                                  std::max(room.top(), room.bottom() - placed.height() + 1)));
    }
    window.move(placed.topLeft());
}
