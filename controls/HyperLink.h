#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <string>

#include "controls/core/LinkOpener.h"
#include "controls/core/ShellLauncher.h"

class MessageBoxService;

// Static text that behaves like a link in a web page: link colours,
// underline while the mouse is over it, hand cursor, tooltip with its
// address; a click opens the address.
class HyperLink : public QLabel {
    Q_OBJECT
  public:
    static constexpr int kShowCommand = 5;  // SW_SHOW
    HyperLink(const QString& text, QWidget* parent, MessageBoxService& boxes,
              ShellLauncher* launcher = nullptr);

    void SetURL(const std::string& address);
    [[nodiscard]] const std::string& GetURL() const { return address_; }
    void SetVisited(bool visited);
    [[nodiscard]] bool visited() const { return visited_; }
    // -1 underlined only while the mouse is over it, 1 always, 0 never.
    void SetUnderline(int mode);
    [[nodiscard]] bool over() const { return over_; }
    // The colour the text is drawn in now.
    [[nodiscard]] QColor CurrentColor() const;

    // The click: opens the address (LinkOpener); once the launcher has
    // answered, marks the link visited or reports why not.
    void Click();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void HoverCheck();
    void FitToText();
    void ApplyColor();
    void Opened(int result);

    MessageBoxService& boxes_;
    ShellLauncher* launcher_;
    QColor linkColor_{0, 0, 238}, visitedColor_{85, 26, 139}, hoverColor_{255, 0, 0};
    bool over_ = false, visited_ = false, fitToText_ = true;
    int underline_ = -1;
    std::string address_;
    QFont normalFont_, underlinedFont_;
    QTimer hoverTimer_;
};
