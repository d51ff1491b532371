#pragma once

#include <QBoxLayout>
#include <QLabel>
#include <QWidget>

// The common frame of the wizard pages: the side picture in a left column of
// 87 x 170 dialog units, the page's own controls to its right.
namespace pagelayout {

// Makes the side picture (control 'pictureId' showing bitmap 'bitmapId') and
// returns the column layout to which the page adds its controls.
QVBoxLayout* Frame(QWidget* page, int pictureId, int bitmapId);

// A plain static text of the page.
QLabel* Static(const QString& text, QWidget* parent, int controlId = 0, bool wrap = false);

}  // namespace pagelayout
