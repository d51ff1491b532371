#pragma once

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pages/PreviewPages.h"

class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;

// The program's own page viewer: the pages of the given documents one at a
// time, paged through, zoomed, or fitted to the window's width (the start).
class CPageViewer : public QDialog {
    Q_OBJECT
  public:
    explicit CPageViewer(const std::vector<std::string>& files, QWidget* parent = nullptr);
    ~CPageViewer() override;

    void ShowPage(int index);
    void NextPage() { ShowPage(current_ + 1); }
    void PreviousPage() { ShowPage(current_ - 1); }
    void ZoomIn();
    void ZoomOut();
    void SetFitWidth(bool on);

    [[nodiscard]] const PreviewPages& pages() const { return pages_; }
    [[nodiscard]] int currentPage() const { return current_; }
    [[nodiscard]] bool fitWidth() const { return fitWidth_; }
    // Scale of the shown page against its natural size.
    [[nodiscard]] double zoom() const { return zoom_; }
    // The shown page (a picture, or the text of a note).
    [[nodiscard]] QLabel* picture() const { return picture_; }
    [[nodiscard]] QLabel* pageLabel() const { return pageLabel_; }
    // Every document in order with its page count; choosing one shows its
    // first page.
    [[nodiscard]] QComboBox* documentChoice() const { return documentChoice_; }
    [[nodiscard]] QScrollArea* scrollArea() const { return scroll_; }
    [[nodiscard]] QPushButton* previousButton() const { return previous_; }
    [[nodiscard]] QPushButton* nextButton() const { return next_; }
    [[nodiscard]] QPushButton* zoomInButton() const { return zoomIn_; }
    [[nodiscard]] QPushButton* zoomOutButton() const { return zoomOut_; }
    [[nodiscard]] QPushButton* fitWidthButton() const { return fit_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Redraw();
    [[nodiscard]] int FitWidthPixels() const;

    PreviewPages pages_;
    int current_ = 0;
    bool fitWidth_ = true;
    double zoom_ = 1.0;
    QScrollArea* scroll_;
    QLabel *picture_, *pageLabel_, *zoomLabel_;
    QComboBox* documentChoice_;
    QPushButton *previous_, *next_, *zoomIn_, *zoomOut_, *fit_;
};

// Shows documents in the page viewer; the program runs CPageViewer modally,
// tests put a recorder in its place.
using PreviewRunner = std::function<void(QWidget* parent, const std::vector<std::string>& files)>;
void RunPageViewer(QWidget* parent, const std::vector<std::string>& files);
