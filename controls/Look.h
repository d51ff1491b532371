#pragma once

#include <QColor>
#include <QRect>
#include <QSize>

class ColorLabel;
class QPainter;
class QWidget;

// The shared look of the wizard's pages and dialogs.
namespace look {

inline const QColor kPageBackground(255, 255, 255);
inline const QColor kPanel(224, 240, 255);
inline const QColor kTitleText(204, 51, 0);
inline const QColor kLabelText(0, 102, 153);
inline constexpr const char* kFace = "Arial";
// Width of a dialog frame, the unit of the panel's margins.
inline constexpr int kFrame = 3;

// Page title: Arial 10 pt bold, title colour, on white.
void StyleTitle(ColorLabel& label);
// Field label: Arial 9 pt bold, label colour, on the light-blue panel.
void StyleLabel(ColorLabel& label);

// Pixels of a size given in dialog units of the widget's font.
[[nodiscard]] QSize DialogUnits(const QWidget& widget, int x, int y);

// The light-blue panel behind a page's input controls: its left edge lies
// 3 frame widths left of the top anchor, its top 2 frame widths above it, its
// bottom bottomFrames frame widths below the bottom anchor; its right edge
// keeps the page's right margin (the left margin of the page's controls),
// whatever the window's position. Coordinates are those of page.
[[nodiscard]] QRect PanelRect(const QWidget& page, const QWidget& topAnchor,
                              const QWidget& bottomAnchor, int bottomFrames);
// White client area, then the panel.
void PaintPage(QPainter& p, const QWidget& page, const QRect& panel);

}  // namespace look
