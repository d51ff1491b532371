#include "pages/PageLayout.h"

#include <utility>

#include "controls/Look.h"
#include "controls/WizardPage.h"
#include "res/Resources.h"

namespace pagelayout {

namespace {

// The side picture is drawn when its page first shows: a wizard shows one of
// its pages at start, and drawing the others then only delayed the start.
class SidePicture final : public QLabel {
  public:
    SidePicture(QWidget* page, int bitmapId) : QLabel(page), bitmapId_(bitmapId) {}

  protected:
    void showEvent(QShowEvent* event) override {
        if (bitmapId_ != 0) {
            setPixmap(res::Bitmap(std::exchange(bitmapId_, 0), size()));
        }
        QLabel::showEvent(event);
    }

  private:
    int bitmapId_;
};

}  // namespace

QVBoxLayout* Frame(QWidget* page, int pictureId, int bitmapId) {
    auto* outer = new QHBoxLayout(page);
    outer->setContentsMargins(
        look::DialogUnits(*page, 7, 7).width(), look::DialogUnits(*page, 7, 7).height(),
        look::DialogUnits(*page, 7, 7).width(), look::DialogUnits(*page, 7, 7).height());
    auto* picture = new SidePicture(page, bitmapId);
    SetControlId(picture, pictureId);
    picture->setFixedSize(look::DialogUnits(*page, 87, 170));
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
