#pragma once

#include <QBrush>
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <optional>

// A text label with its own font, colours and an optional clickable mode.
// The pages configure it in the order face, size, text colour, background,
// then bold, underline and link settings.
class ColorLabel : public QLabel {
    Q_OBJECT
  public:
    // How the text is placed, after the static control styles.
    enum class Style { Left, Center, Right, LeftNoWordWrap };
    // The notification sent to the parent on every mouse press.
    static constexpr int kPressNotification = 0x8200;

    explicit ColorLabel(const QString& text = {}, QWidget* parent = nullptr, int controlId = 0);

    void SetFontName(const QString& face);
    void SetFontSize(int points);
    void SetFontBold(bool on);
    void SetFontUnderline(bool on);
    void SetTextColor(const QColor& color);
    void SetBkColor(const QColor& color);
    void SetText(const QString& text);
    void SetLink(bool on);
    void SetLinkCursor(const QCursor& cursor);

    void SetStyle(Style style);
    void SetCenterImage(bool on);

    [[nodiscard]] int controlId() const { return controlId_; }
    [[nodiscard]] bool isLink() const { return link_; }
    [[nodiscard]] QColor textColor() const { return textColor_; }
    // The colour the background is filled with right now.
    [[nodiscard]] QColor backgroundColor() const;
    [[nodiscard]] const QFont& labelFont() const { return labelFont_; }

    // Placement flags for text drawn in a label of the given style.
    [[nodiscard]] static int TextFlags(Style style, bool centerImage, const QString& text);

  signals:
    // Every mouse press: the label's id and kPressNotification.
    void notify(int controlId, int code);
    // A click on a clickable label.
    void clicked(int controlId);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void RebuildFont();
    void RebuildDefaultBrush();

    int controlId_;
    QColor textColor_;
    QBrush defaultBrush_;
    std::optional<QBrush> backgroundBrush_;
    QFont labelFont_;
    bool link_ = false;
    bool pressed_ = false;
    std::optional<QCursor> linkCursor_;
    Style style_ = Style::Left;
    bool centerImage_ = false;
};
