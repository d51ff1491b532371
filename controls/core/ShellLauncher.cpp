#include "controls/core/ShellLauncher.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <utility>

namespace {

constexpr int kFileNotFound = 2;
constexpr int kPathNotFound = 3;
constexpr int kAccessDenied = 5;
constexpr int kAssocIncomplete = 27;
constexpr int kNoAssociation = 31;
constexpr int kStarted = 42;

// Calls done once, with the first answer given; later ones are dropped.
template <typename Fn>
auto Once(Fn done) {
    auto pending = std::make_shared<Fn>(std::move(done));
    return [pending](auto&&... answer) {
        if (!*pending) return;
        Fn fn = std::exchange(*pending, nullptr);
        fn(std::forward<decltype(answer)>(answer)...);
    };
}

// A process parented to the application, so that one still running when
// its answer has been given is neither killed early nor left unreaped. It
// deletes itself once it has ended or could not start; connect to it before
// starting it, as a failed start may be told at once.
QProcess* NewProcess() {
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process](QProcess::ProcessError e) {
                         if (e == QProcess::FailedToStart) process->deleteLater();
                     });
    return process;
}

int OpenerResult(int exitCode, QProcess::ExitStatus status) {
    if (status != QProcess::NormalExit) return kAssocIncomplete;
    switch (exitCode) {
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

// The Exec line of the desktop entry id, its first file or URL field code
// turned into "%1" and the others dropped; empty if none.
std::string HtmlCommandOf(const QString& id) {
    if (id.isEmpty()) return {};
    const QString file = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, id);
    QFile f(file);
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly)) return {};
    bool inEntry = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) inEntry = line == QLatin1String("[Desktop Entry]");
        if (!inEntry || !line.startsWith(QLatin1String("Exec="))) continue;
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

}  // namespace

void DesktopShellLauncher::ShellOpen(const std::string& address, int, ResultFn done) {
    if (address.empty()) return done(kFileNotFound);
    if (address.front() == '/') {
        std::error_code ec;
        const std::filesystem::path p(address);
        if (!std::filesystem::exists(p.parent_path(), ec)) return done(kPathNotFound);
        if (!std::filesystem::exists(p, ec)) return done(kFileNotFound);
    }
    auto answer = Once(std::move(done));
    QProcess* opener = NewProcess();
    QObject::connect(opener, &QProcess::errorOccurred, opener, [answer](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) answer(kNoAssociation);
    });
    QObject::connect(
        opener, &QProcess::finished, opener,
        [answer](int code, QProcess::ExitStatus status) { answer(OpenerResult(code, status)); });
    QTimer::singleShot(kWaitMs, opener, [answer] { answer(kStarted); });
    opener->start(QStringLiteral("xdg-open"), {QString::fromStdString(address)});
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
    QStringList args;
    for (std::size_t i = 1; i < argv.size(); ++i) args << QString::fromStdString(argv[i]);
    // Every argument reaches the program as it is: no shell parses them.
    return QProcess::startDetached(program, args) ? 33 : 0;
}

void DesktopShellLauncher::DesktopHtmlCommand(CommandFn done) {
    auto answer = Once(std::move(done));
    QProcess* query = NewProcess();
    QObject::connect(query, &QProcess::errorOccurred, query, [answer](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) answer(std::string());
    });
    QObject::connect(
        query, &QProcess::finished, query, [answer, query](int code, QProcess::ExitStatus status) {
            if (status != QProcess::NormalExit || code != 0) return answer(std::string());
            answer(HtmlCommandOf(QString::fromUtf8(query->readAllStandardOutput()).trimmed()));
        });
    QTimer::singleShot(kWaitMs, query, [answer, query] {
        answer(std::string());
        query->kill();
    });
    query->start(QStringLiteral("xdg-mime"),
                 {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
}
