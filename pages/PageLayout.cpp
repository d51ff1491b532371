#include "pages/PageLayout.h"

#include "controls/Look.h"
#include "controls/WizardPage.h"
#include "res/Resources.h"

namespace pagelayout {

QVBoxLayout* Frame(QWidget* page, int pictureId, int bitmapId) {
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(
        look::DialogUnits(*page, 7, 7).width(), look::DialogUnits(*page, 7, 7).height(),
        look::DialogUnits(*page, 7, 7).width(), look::DialogUnits(*page, 7, 7).height());
    auto* picture = new QLabel(page);
    SetControlId(picture, pictureId);
    QSize column = look::DialogUnits(*page, 87, 170);
    picture->setFixedSize(column);
    picture->setPixmap(res::Bitmap(bitmapId).scaled(column, Qt::KeepAspectRatioByExpanding,
                                                    Qt::SmoothTransformation));
    picture->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    outer->addWidget(picture, 0, Qt::AlignTop);
    outer->addSpacing(look::DialogUnits(*page, 8, 0).width());
    auto* column2 = new QVBoxLayout;
    outer->addLayout(column2, 1);
    return column2;
}

QLabel* Static(const QString& text, QWidget* parent, int controlId, bool wrap) {
    auto* label = new QLabel(text, parent);
    if (controlId) SetControlId(label, controlId);
    label->setWordWrap(wrap);
    label->setTextFormat(Qt::PlainText);
    return label;
}

}  // namespace pagelayout
