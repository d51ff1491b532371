#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

class MessageBoxService;

// Where a link is opened: the desktop's opener and the start of a program.
// Tests put a recording stand-in in its place.
class ShellLauncher {
  public:
    virtual ~ShellLauncher() = default;
    // Opens address with the desktop's opener; a shell result code (greater
    // than 32 is success).
    [[nodiscard]] virtual int ShellOpen(const std::string& address, int showCommand) = 0;
    // Starts argv[0] with the rest as its arguments, each passed on as one
    // argument and never through a shell; greater than 31 is success.
    [[nodiscard]] virtual int Start(const std::vector<std::string>& argv, int showCommand) = 0;
    // The command line of the desktop's default program for text/html in the
    // form the .htm association uses ("%1" marks the address); empty if none.
    [[nodiscard]] virtual std::string DesktopHtmlCommand() = 0;
};

// xdg-open, posix_spawn and xdg-mime.
class DesktopShellLauncher final : public ShellLauncher {
  public:
    int ShellOpen(const std::string& address, int showCommand) override;
    int Start(const std::vector<std::string>& argv, int showCommand) override;
    std::string DesktopHtmlCommand() override;
};

// Static text that behaves like a link in a web page: link colours,
// underline while the mouse is over it, hand cursor, tooltip with its
// address; a click opens the address.
class HyperLink : public QLabel {
    Q_OBJECT
  public:
    static constexpr int kShowCommand = 5;  // SW_SHOW
    // The longest command line the .htm fallback starts.
    static constexpr std::size_t kMaxCommandLine = 528;

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

    // Opens address: the desktop's opener, else the program of the .htm
    // association (registry store, then the desktop's text/html default).
    [[nodiscard]] static int OpenUrl(const std::string& address, int showCommand,
                                     ShellLauncher& launcher);
    static void ReportOpenError(int code, MessageBoxService& boxes);
    [[nodiscard]] static std::string OpenErrorText(int code);
    // Default value of the key under HKEY_CLASSES_ROOT; 0 or the registry error.
    [[nodiscard]] static std::int32_t ReadClassesRootValue(const std::string& keyPath,
                                                           std::string& out);
    // The program and leading arguments of an association command line, cut
    // at its "%1" placeholder; double quotes group, and are removed.
    [[nodiscard]] static std::vector<std::string> CommandPrefix(const std::string& commandLine);

    // The click: opens the address, marks the link visited or reports why not.
    void Click();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void HoverCheck();
    void FitToText();
    void ApplyColor();

    MessageBoxService& boxes_;
    ShellLauncher* launcher_;
    QColor linkColor_{0, 0, 238}, visitedColor_{85, 26, 139}, hoverColor_{255, 0, 0};
    bool over_ = false, visited_ = false, fitToText_ = true;
    int underline_ = -1;
    std::string address_;
    QFont normalFont_, underlinedFont_;
    QTimer hoverTimer_;
};
