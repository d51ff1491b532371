#pragma once

class QWidget;

// Where the program's windows, dialogs and message boxes open.

// A visible window that stays on top of the others (a progress window), the
// last one shown when there are several; null when there is none.
[[nodiscard]] QWidget* TopMostWindow();

// The window a message box opens over: a top-most window first (under it
// the box would open hidden), else preferred, else the active window.
[[nodiscard]] QWidget* OwnerWindow(QWidget* preferred);

// Centres window over owner's window when that is visible, else over the
// screen, keeping it within the screen's free area.
void CentreOver(QWidget& window, const QWidget* owner);
