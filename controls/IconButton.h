#pragma once

#include <QColor>
#include <QPixmap>
#include <QPushButton>

// A push button that shows an icon and, when flat, stays without an edge
// until the mouse moves over it.
class IconButton : public QPushButton {
    Q_OBJECT
  public:
    explicit IconButton(const QString& text = {}, QWidget* parent = nullptr, int controlId = 0);

    // Icons by resource number: the first is the hot icon, the second (or the
    // first again when 0) the normal one.
    void SetIcon(int hotIconId, int normalIconId = 0);
    void SetIcons(const QPixmap& hot, const QPixmap& normal);
    void SetFlat(bool on);
    void SetShowText(bool on);
    void SetHoverBorder(bool on);
    void SetHotBkColor(const QColor& color, bool repaint);
    void SetNormalBkColor(const QColor& color, bool repaint);

    [[nodiscard]] int controlId() const { return controlId_; }
    [[nodiscard]] bool isHot() const { return hot_; }
    [[nodiscard]] bool isFlatButton() const { return flat_; }
    [[nodiscard]] int iconWidth() const { return iconWidth_; }
    [[nodiscard]] int iconHeight() const { return iconHeight_; }
    // Where the icon is drawn in the current state.
    [[nodiscard]] QRect iconRect() const;

  signals:
    void clickedId(int controlId);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    void SetHot(bool on);

    int controlId_;
    QPixmap hotIcon_, normalIcon_;
    unsigned char iconWidth_ = 0, iconHeight_ = 0;
    bool flat_ = true;
    bool hoverBorder_ = true;
    bool showText_ = true;
    bool hot_ = false;
    bool wasDefault_ = false;
    QColor normalBk_, hotBk_, normalText_, hotText_;
};
