#include "controls/HelpWindow.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeySequence>
#include <QPushButton>
#include <QShortcut>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindow>
#include <filesystem>
#include <system_error>
#include <utility>

#include "app/core/MessageBoxService.h"
#include "controls/DocumentOpener.h"

namespace {

namespace fs = std::filesystem;

// Asks the window before it goes to a page or loads a style sheet or picture.
class HelpBrowser final : public QTextBrowser {
  public:
    HelpBrowser(HelpWindow& window, QWidget* parent) : QTextBrowser(parent), window_(window) {}

    QVariant loadResource(int type, const QUrl& name) override {
        const QUrl url = Resolved(name);
        return window_.Inside(url) ? QTextBrowser::loadResource(type, url) : QVariant();
    }

  protected:
    void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override {
        const QUrl url = Resolved(name);
        if (window_.Follow(url)) QTextBrowser::doSetSource(url, type);
    }

  private:
    [[nodiscard]] QUrl Resolved(const QUrl& name) const {
        return name.isRelative() ? source().resolved(name) : name;
    }

    HelpWindow& window_;
};

QPushButton* Button(const QString& text, const QString& name, const char* icon, QWidget* parent) {
    auto* button = new QPushButton(QIcon::fromTheme(QLatin1String(icon)), text, parent);
    button->setAccessibleName(name);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

HelpWindow::HelpWindow(DocumentOpener& opener, MessageBoxService* messageBox)
    : opener_(opener), messageBox_(messageBox) {
    setWindowTitle(tr("Help"));
    auto* page = new QWidget(this);
    setCentralWidget(page);
    browser_ = new HelpBrowser(*this, page);
    browser_->setAccessibleName(tr("Help page"));
    backButton_ = Button(tr("&Back"), tr("Back"), "go-previous", page);
    forwardButton_ = Button(tr("&Forward"), tr("Forward"), "go-next", page);
    homeButton_ = Button(tr("&Home"), tr("Home"), "go-home", page);
    QPushButton* close = Button(tr("&Close"), tr("Close"), "window-close", page);
    backButton_->setEnabled(false);
    forwardButton_->setEnabled(false);
    backButton_->setToolTip(
        tr("Back (%1)").arg(QKeySequence(QKeySequence::Back).toString(QKeySequence::NativeText)));
    forwardButton_->setToolTip(
        tr("Forward (%1)")
            .arg(QKeySequence(QKeySequence::Forward).toString(QKeySequence::NativeText)));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(backButton_);
    buttons->addWidget(forwardButton_);
    buttons->addWidget(homeButton_);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(buttons);
    layout->addWidget(browser_);
    setTabOrder(browser_, backButton_);
    setTabOrder(backButton_, forwardButton_);
    setTabOrder(forwardButton_, homeButton_);
    setTabOrder(homeButton_, close);
    resize(640, 600);

    const auto goHome = [this] {
        if (homePage_.empty())
            Tell(kNoHelpPageText);
        else
            browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(homePage_)));
    };
    connect(backButton_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forwardButton_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(homeButton_, &QPushButton::clicked, this, goHome);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(browser_, &QTextBrowser::backwardAvailable, backButton_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forwardButton_, &QWidget::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, [this] {
        const QString title = browser_->documentTitle().simplified();
        setWindowTitle(title.isEmpty() ? tr("Help") : title);
    });
    // Alt+Left and Alt+Right wherever the focus is, not only in the page.
    connect(new QShortcut(QKeySequence::Back, this), &QShortcut::activated, browser_,
            &QTextBrowser::backward);
    connect(new QShortcut(QKeySequence::Forward, this), &QShortcut::activated, browser_,
            &QTextBrowser::forward);
    connect(new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Home), this), &QShortcut::activated, this,
            goHome);
    for (const QKeySequence& key :
         {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)})
        connect(new QShortcut(key, this), &QShortcut::activated, this, &QWidget::close);
}

void HelpWindow::SetFolders(std::vector<std::string> folders, std::string home) {
    folders_ = std::move(folders);
    homePage_ = std::move(home);
}

bool HelpWindow::ShowPage(const std::string& path) {
    if (path.empty()) {
        Tell(kNoHelpPageText);
        return false;
    }
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec);
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(ec ? path : absolute.string()));
    if (!Follow(url)) return false;
    // Over the window that is modal now, so that it takes input while that
    // one runs.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal->window() != this) {
        (void)winId();
        windowHandle()->setTransientParent(modal->window()->windowHandle());
    }
    browser_->setSource(url);
    show();
    raise();
    activateWindow();
    browser_->setFocus();
    return true;
}

bool HelpWindow::Follow(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("mailto")) {
        if (!opener_.Open(url.toString(QUrl::FullyEncoded).toStdString()))
            Tell(TranslatedText(kNoLinkText, url.toDisplayString().toStdString()));
        return false;
    }
    const QString suffix = QFileInfo(url.path()).suffix().toLower();
    if ((suffix == QLatin1String("html") || suffix == QLatin1String("htm")) && Inside(url))
        return true;
    Tell(kNoHelpPageText);
    return false;
}

bool HelpWindow::Inside(const QUrl& url) const {
    if (!url.isLocalFile()) return false;
    const QString local = url.toLocalFile();
    if (local.isEmpty() || local.contains(QChar(u'\0'))) return false;
    std::error_code ec;
    const fs::path file = fs::canonical(fs::path(local.toStdString()), ec);
    if (ec || !fs::is_regular_file(file, ec)) return false;
    for (const std::string& folder : folders_) {
        const fs::path root = fs::canonical(folder, ec);
        if (ec) continue;
        const fs::path inside = file.lexically_relative(root);
        if (!inside.empty() && *inside.begin() != "..") return true;
    }
    return false;
}

void HelpWindow::Tell(const std::string& text) {
    if (messageBox_)
        (void)messageBox_->Show(text, kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
}
