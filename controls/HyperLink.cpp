#include "controls/HyperLink.h"

#include <unistd.h>

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <filesystem>

#include "app/MessageBoxService.h"
#include "app/RegistryKey.h"

namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;
constexpr int kAssocIncomplete = 27;
constexpr int kNoAssociation = 31;
constexpr int kStarted = 42;

QStringList ToArgs(const std::vector<std::string>& argv, std::size_t from) {
    QStringList args;
    for (std::size_t i = from; i < argv.size(); ++i) args << QString::fromStdString(argv[i]);
    return args;
}

DesktopShellLauncher& DefaultLauncher() {
    static DesktopShellLauncher launcher;
    return launcher;
}

}  // namespace

int DesktopShellLauncher::ShellOpen(const std::string& address, int) {
    if (address.empty()) return kFileNotFound;
    if (address.front() == '/') {
        std::error_code ec;
        const std::filesystem::path p(address);
        if (!std::filesystem::exists(p.parent_path(), ec)) return kPathNotFound;
        if (!std::filesystem::exists(p, ec)) return kFileNotFound;
    }
    // Parented to the application so that an opener that keeps running after
    // the wait is neither killed nor left unreaped.
    auto* process = new QProcess(qApp);
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    process->start(QStringLiteral("xdg-open"), {QString::fromStdString(address)});
    if (!process->waitForStarted(5000)) {
        process->deleteLater();
        return kNoAssociation;
    }
    if (!process->waitForFinished(5000)) return kStarted;
    if (process->exitStatus() != QProcess::NormalExit) return kAssocIncomplete;
    switch (process->exitCode()) {
        case 0:
            return kStarted;
        case 2:
            return kFileNotFound;
        case 1:
            return kAssocIncomplete;
        default:  // 3: no tool for it, 4: the opener failed
            return kNoAssociation;
    }
}

int DesktopShellLauncher::Start(const std::vector<std::string>& argv, int) {
    if (argv.empty() || argv.front().empty()) return kFileNotFound;
    QString program = QString::fromStdString(argv.front());
    if (!program.contains(QLatin1Char('/'))) {
        program = QStandardPaths::findExecutable(program);
        if (program.isEmpty()) return kFileNotFound;
    } else if (::access(argv.front().c_str(), F_OK) != 0) {
        return kFileNotFound;
    } else if (::access(argv.front().c_str(), X_OK) != 0) {
        return kAccessDenied;
    }
    // Every argument reaches the program as it is: no shell parses them.
    return QProcess::startDetached(program, ToArgs(argv, 1)) ? 33 : 0;
}

std::string DesktopShellLauncher::DesktopHtmlCommand() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForFinished(5000) || query.exitCode() != 0) return {};
    const QString id = QString::fromUtf8(query.readAllStandardOutput()).trimmed();
    if (id.isEmpty()) return {};
    const QString file = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
    bool inEntry = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) inEntry = line == QLatin1String("[Desktop Entry]");
        if (!inEntry || !line.startsWith(QLatin1String("Exec="))) continue;
        // Field codes: the first file or URL code marks the address, the
        // others are dropped.
        const QString exec = line.mid(5);
        std::string out;
        bool placed = false;
        for (qsizetype i = 0; i < exec.size(); ++i) {
            if (exec[i] != QLatin1Char('%') || i + 1 == exec.size()) {
                out += QString(exec[i]).toStdString();
                continue;
            }
            const QChar code = exec[++i];
            if (code == QLatin1Char('%')) {
                out += '%';
            } else if (QStringLiteral("uUfF").contains(code) && !placed) {
                out += "%1";
                placed = true;
            }
        }
        return out;
    }
    return {};
}

HyperLink::HyperLink(const QString& text, QWidget* parent, MessageBoxService& boxes,
                     ShellLauncher* launcher)
    : QLabel(text, parent), boxes_(boxes), launcher_(launcher ? launcher : &DefaultLauncher()) {
    setMouseTracking(true);
    setAutoFillBackground(false);
    address_ = text.toStdString();
    normalFont_ = font();
    underlinedFont_ = normalFont_;
    underlinedFont_.setUnderline(true);
    setCursor(Qt::PointingHandCursor);
    setToolTip(text);
    hoverTimer_.setInterval(100);
    connect(&hoverTimer_, &QTimer::timeout, this, &HyperLink::HoverCheck);
    ApplyColor();
    FitToText();
}

void HyperLink::SetURL(const std::string& address) {
    address_ = address;
    if (text().isEmpty()) setText(QString::fromStdString(address));
    setToolTip(QString::fromStdString(address));
    FitToText();
}

void HyperLink::SetVisited(bool visited) {
    visited_ = visited;
    ApplyColor();
}

void HyperLink::SetUnderline(int mode) {
    if (mode != underline_) setFont(mode == 1 ? underlinedFont_ : normalFont_);
    underline_ = mode;
    update();
}

QColor HyperLink::CurrentColor() const {
    return over_ ? hoverColor_ : visited_ ? visitedColor_ : linkColor_;
}

void HyperLink::ApplyColor() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, CurrentColor());
    setPalette(pal);
    update();
}

void HyperLink::FitToText() {
    if (!fitToText_) return;
    const QSize text = QFontMetrics(underlinedFont_).size(Qt::TextSingleLine, QLabel::text());
    const QSize size(text.width() + 2 * frameWidth(), text.height() + 2 * frameWidth());
    QRect r = geometry();
    const Qt::Alignment a = alignment();
    const int right = r.right(), centreX = r.center().x(), centreY = r.center().y();
    r.setSize(size);
    if (a & Qt::AlignRight)
        r.moveRight(right);
    else if (a & Qt::AlignHCenter)
        r.moveLeft(centreX - size.width() / 2);
    if (a & Qt::AlignVCenter && !(a & Qt::AlignTop)) r.moveTop(centreY - size.height() / 2);
    setGeometry(r);
}

void HyperLink::mouseMoveEvent(QMouseEvent* event) {
    if (!over_) {
        over_ = true;
        if (underline_ == -1) setFont(underlinedFont_);
        ApplyColor();
        hoverTimer_.start();
    }
    QLabel::mouseMoveEvent(event);
}

void HyperLink::HoverCheck() {
    if (rect().contains(mapFromGlobal(QCursor::pos()))) return;
    over_ = false;
    hoverTimer_.stop();
    if (underline_ != 1) setFont(normalFont_);
    ApplyColor();
}

void HyperLink::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) Click();
}

void HyperLink::Click() {
    over_ = false;
    const int result = OpenUrl(address_, kShowCommand, *launcher_);
    visited_ = result > 32;
    ApplyColor();
    if (!visited_) {
        QApplication::beep();
        ReportOpenError(result, boxes_);
    }
}

void HyperLink::paintEvent(QPaintEvent* event) {
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
    }
    QLabel::paintEvent(event);
}

std::int32_t HyperLink::ReadClassesRootValue(const std::string& keyPath, std::string& out) {
    RegistryKey key;
    if (!key.SetRootKey(HKEY_CLASSES_ROOT)) return key.lastError ? key.lastError : 6;
    if (!key.SetKeyPath(keyPath)) return key.lastError;
    std::string value = key.ReadString("", "");
    if (key.lastError != 0) return key.lastError;
    out = std::move(value);
    return 0;
}

std::vector<std::string> HyperLink::CommandPrefix(const std::string& commandLine) {
    std::string line = commandLine;
    if (std::size_t quoted = line.find("\"%1\""); quoted != std::string::npos) {
        line.resize(quoted);
    } else if (std::size_t bare = line.find("%1"); bare != std::string::npos) {
        line.resize(bare);
    }
    std::vector<std::string> argv;
    std::string word;
    bool inQuotes = false, hasWord = false;
    for (char c : line) {
        if (c == '"') {
            inQuotes = !inQuotes;
            hasWord = true;
        } else if ((c == ' ' || c == '\t') && !inQuotes) {
            if (hasWord) argv.push_back(word);
            word.clear();
            hasWord = false;
        } else {
            word += c;
            hasWord = true;
        }
    }
    if (hasWord) argv.push_back(word);
    return argv;
}

int HyperLink::OpenUrl(const std::string& address, int showCommand, ShellLauncher& launcher) {
    const int shell = launcher.ShellOpen(address, showCommand);
    if (shell > 32) return shell;

    std::string command;
    std::string type;
    if (ReadClassesRootValue(".htm", type) != 0 ||
        ReadClassesRootValue(type + "\\shell\\open\\command", command) != 0 || command.empty())
        command = launcher.DesktopHtmlCommand();
    if (command.empty()) return shell;

    std::vector<std::string> argv = CommandPrefix(command);
    if (argv.empty()) return shell;
    std::size_t length = address.size();
    for (const std::string& a : argv) length += a.size() + 1;
    if (length > kMaxCommandLine) return shell;
    // The address stays one argument, whatever quotes or blanks it holds.
    argv.push_back(address);
    return launcher.Start(argv, showCommand);
}

std::string HyperLink::OpenErrorText(int code) {
    switch (code) {
        case 0:
            return tr("The operating system is out\nof memory or resources.").toStdString();
        case 2:
            return tr("The specified file was not found.").toStdString();
        case 3:
            return tr("The specified path was not found.").toStdString();
        case 5:
            return tr("The operating system denied\naccess to the specified file.").toStdString();
        case 8:
            return tr("There was not enough memory to complete the operation.").toStdString();
        case 11:
            return tr("The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).")
                .toStdString();
        case 26:
            return tr("A sharing violation occurred. ").toStdString();
        case 27:
            return tr("The filename association is\nincomplete or invalid.").toStdString();
        case 28:
            return tr("The DDE transaction could not\nbe completed because the request timed out.")
                .toStdString();
        case 29:
            return tr("The DDE transaction failed.").toStdString();
        case 30:
            return tr("The DDE transaction could not\nbe completed because other DDE "
                      "transactions\nwere being processed.")
                .toStdString();
        case 31:
            return tr("There is no application associated\nwith the given filename extension.")
                .toStdString();
        case 32:
            return tr("The specified dynamic-link library was not found.").toStdString();
        default:
            return tr("Unknown Error (%1) occurred.").arg(code).toStdString();
    }
}

void HyperLink::ReportOpenError(int code, MessageBoxService& boxes) {
    (void)boxes.Show(tr("Unable to open hyperlink:\n\n").toStdString() + OpenErrorText(code),
                     kMessageCaption, MbButtons::Ok, MbIcon::Exclamation);
}
