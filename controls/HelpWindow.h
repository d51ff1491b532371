#pragma once

#include <QMainWindow>
#include <QTextBrowser>
#include <string>
#include <vector>

#include "app/core/Translate.h"

class DocumentOpener;
class MessageBoxService;
class QPushButton;

inline constexpr const char* kNoHelpPageText = QT_TRANSLATE_NOOP(
    "Message",
    "This help page could not be found.\n\nThe help pages may not be installed completely.");
inline constexpr const char* kNoLinkText = QT_TRANSLATE_NOOP(
    "Message",
    "The link could not be opened:\n%1\n\nNo program is set up to open addresses of this kind.");

// The help pages, shown inside the program: links between the pages, Back,
// Forward and Home. Only pages and pictures inside the help folders are
// shown; web and mail addresses go to the desktop through the opener; the
// user is told when a page is missing or an address cannot be opened.
class HelpWindow final : public QMainWindow {
    Q_OBJECT
  public:
    HelpWindow(DocumentOpener& opener, MessageBoxService* messageBox);

    // The folders pages may come from, and the page Home shows.
    void SetFolders(std::vector<std::string> folders, std::string home);
    // Shows the page at path over the window that is modal now and raises
    // the window; false, and the user told, when it is outside the folders
    // or not there.
    bool ShowPage(const std::string& path);

    [[nodiscard]] QTextBrowser* browser() const { return browser_; }
    [[nodiscard]] QPushButton* backButton() const { return backButton_; }
    [[nodiscard]] QPushButton* forwardButton() const { return forwardButton_; }
    [[nodiscard]] QPushButton* homeButton() const { return homeButton_; }

    // Where a link leads: true when the browser may show it. Web and mail
    // addresses go to the opener instead.
    [[nodiscard]] bool Follow(const QUrl& url);
    // A local file inside one of the folders (symbolic links resolved).
    [[nodiscard]] bool Inside(const QUrl& url) const;

  private:
    void Tell(const std::string& text);

    DocumentOpener& opener_;
    MessageBoxService* messageBox_;
    std::vector<std::string> folders_;
    std::string homePage_;
    QTextBrowser* browser_;
    QPushButton* backButton_;
    QPushButton* forwardButton_;
    QPushButton* homeButton_;
};
