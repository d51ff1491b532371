#pragma once

#include <QAbstractScrollArea>
#include <QFont>
#include <QImage>
#include <string>
#include <vector>

class DocumentOpener;

// One picture shown by CTitledPicsWnd: a bitmap (null when its file could not
// be loaded) and the full path of its file. The owner keeps it alive while the
// window shows it.
struct PictureItem {
    QImage bitmap;
    std::string path;
};

// A scrolling grid of equal cells, one bitmap per cell, with one selectable
// picture, framed whether or not the window has the focus. Clicks and selection changes are posted
// to the parent as notify(controlId, code); a double click opens the picture's file with the
// desktop; the selected picture's file can be deleted.
class CTitledPicsWnd : public QAbstractScrollArea {
    Q_OBJECT
  public:
    // Notification codes.
    static constexpr int kSelChanged = 1;
    static constexpr int kDoubleClick = 2;
    static constexpr int kLeftClick = 3;
    static constexpr int kRightClick = 4;

    // Creates the window as a bordered child of parent over rect.
    CTitledPicsWnd(const QRect& rect, QWidget* parent, int controlId);

    void SetOpener(DocumentOpener* opener) { opener_ = opener; }

    // -1 in either dimension sizes the cells from the largest bitmap.
    void SetCellSize(int width, int height);
    void SetStretch(bool stretch) { stretch_ = stretch; }
    // Appends the item's bitmap and path; the new picture's index.
    int AddPicture(const PictureItem& item);
    // -1 or a valid index; anything else is ignored.
    void Select(int index);
    [[nodiscard]] std::string SelectedPath() const;
    // Removes the selected picture and deletes its file from disk. The
    // selection then becomes none (announced with code 1).
    void DeleteSelected();

    [[nodiscard]] int controlId() const { return controlId_; }
    [[nodiscard]] int selectedIndex() const { return ValidIndex(selected_) ? selected_ : -1; }
    [[nodiscard]] int count() const { return static_cast<int>(paths_.size()); }
    [[nodiscard]] std::string PathAt(int index) const;
    [[nodiscard]] int columns() const { return static_cast<int>(columns_); }
    [[nodiscard]] int cellWidth() const { return cellWidth_; }
    [[nodiscard]] int cellHeight() const { return cellHeight_; }
    [[nodiscard]] bool autoSize() const { return autoSize_; }
    // Height of the band below each picture reserved for its title.
    [[nodiscard]] int TextHeight() const;
    // Size of the scrollable area after the last layout.
    [[nodiscard]] QSize ScrollSize() const { return scrollSize_; }
    // Where picture index is drawn, in scrolled (content) coordinates.
    [[nodiscard]] QRect PictureRect(int index) const;
    // Whole cell of index, in content coordinates.
    [[nodiscard]] QRect CellRect(int index) const;
    // The picture under a viewport point, or -1.
    [[nodiscard]] int HitTest(const QPoint& viewportPoint) const;
    // Runs the layout and the scroll sizes as painting would.
    void UpdateLayout();

  signals:
    // Delivered through the event queue, after the mouse handler returned.
    void notify(int controlId, int code);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    [[nodiscard]] bool ValidIndex(int index) const {
        return index >= 0 && index < static_cast<int>(paths_.size());
    }
    void Post(int code);
    void OnMouse(const QPoint& point, int code);

    int controlId_;
    DocumentOpener* opener_ = nullptr;
    std::vector<int> kinds_;
    std::vector<const QImage*> bitmaps_;
    std::vector<std::string> paths_;
    int selected_ = -1;
    unsigned columns_ = 1;
    int cellWidth_ = -1;
    int cellHeight_ = -1;
    bool autoSize_ = true;
    bool stretch_ = false;
    int margin_ = 2;
    QFont captionFont_;
    QSize scrollSize_{100, 100};
};
