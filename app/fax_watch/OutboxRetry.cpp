#include "app/fax_watch/OutboxRetry.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <algorithm>

#include "app/fax_watch/DesktopNotifier.h"

namespace {

constexpr const char* kOutboxProgram = "corvinaport-outbox";
constexpr const char* kWindowProgram = "corvinaport-outbox-window";
// The first round waits a little, so a session's start is not slowed down.
constexpr int kFirstRoundMs = 30000;

std::string Beside(const std::string& dir, const char* program) {
    std::string beside = dir;
    if (!beside.empty() && beside.back() != '/') beside += '/';
    beside += program;
    return !dir.empty() && ::access(beside.c_str(), X_OK) == 0 ? beside : program;
}

// One round's outcome, from the command's "folder TAB outcome TAB text" lines.
struct Round {
    int sent = 0;
    int failed = 0;
    QStringList failedNames;
    QString firstCause;
    QStringList notMoved;  // "folder: cause"
    QStringList gaveUp;    // causes
    QStringList unknown;   // "May have been sent: ..."
};

Round Read(const QString& output) {
    Round r;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList f = line.split(QLatin1Char('\t'));
        if (f.size() < 3) continue;
        const QString& name = f[0];
        const QString& kind = f[1];
        const QString text = f.mid(2).join(QLatin1Char('\t'));
        if (kind == QLatin1String("sent")) {
            ++r.sent;
        } else if (kind == QLatin1String("sent-not-moved")) {
            ++r.sent;
            r.notMoved << name + QStringLiteral(": ") + text;
        } else if (kind == QLatin1String("failed")) {
            ++r.failed;
            r.failedNames << name;
            if (r.firstCause.isEmpty()) r.firstCause = text;
        } else if (kind == QLatin1String("gave-up")) {
            ++r.failed;
            r.failedNames << name;
            r.gaveUp << text;
        } else if (kind == QLatin1String("unknown")) {
            ++r.failed;
            r.unknown << text;
        }
    }
    return r;
}

}  // namespace

OutboxRetry::OutboxRetry(const std::string& programDir, std::chrono::milliseconds interval,
                         QObject* parent)
    : QObject(parent),
      windowProgram(Beside(programDir, kWindowProgram)),
      program_(Beside(programDir, kOutboxProgram)),
      notifier_(new DesktopNotifier(programDir, this)) {
    timer_.setInterval(static_cast<int>(interval.count()));
    connect(&timer_, &QTimer::timeout, this, [this] { RunNow(); });
    connect(notifier_, &DesktopNotifier::actionInvoked, this, &OutboxRetry::OnAction);
    connect(notifier_, &DesktopNotifier::failed, this, [this](const QString& why) {
        emit report(QStringLiteral("notification not shown: %1").arg(why));
    });
}

OutboxRetry::~OutboxRetry() {
    if (process_ && process_->state() != QProcess::NotRunning) {
        // A round still sending finishes on its own; its fax is safe either way.
        process_->disconnect(this);
        process_->setParent(nullptr);
        (void)process_.release();
    }
}

void OutboxRetry::Start() {
    timer_.start();
    QTimer::singleShot(std::min(kFirstRoundMs, timer_.interval()), this, [this] { RunNow(); });
}

void OutboxRetry::RunNow(const QStringList& names) {
    if (stopped_ || (process_ && process_->state() != QProcess::NotRunning)) return;
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process_.get(), &QProcess::finished, this, &OutboxRetry::OnFinished);
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        // Removed with its package: nothing is left to retry with.
        if (program_.find('/') != std::string::npos &&
            !QFileInfo::exists(QString::fromStdString(program_))) {
            stopped_ = true;
            timer_.stop();
            emit report(QStringLiteral("%1 is gone; no more retries")
                            .arg(QString::fromStdString(program_)));
        } else {
            emit report(QStringLiteral("cannot run %1").arg(QString::fromStdString(program_)));
        }
        emit roundDone(0, 0);
    });
    QStringList args = {QStringLiteral("send"), QStringLiteral("--tab")};
    if (names.isEmpty()) args << QStringLiteral("--due");
    args << names;
    process_->start(QString::fromStdString(program_), args);
}

void OutboxRetry::OnFinished() {
    const QString output = QString::fromLocal8Bit(process_->readAllStandardOutput());
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        emit report(QString(line).replace(QLatin1Char('\t'), QLatin1Char(' ')));
    const Round r = Read(output);
    lastFailed_ = r.failedNames;

    // One notification for what changed; a round that changed nothing says
    // nothing.
    QStringList body;
    if (r.sent > 0)
        body << QCoreApplication::translate("OutboxRetry", "%n stored fax(es) sent.", nullptr,
                                            r.sent);
    for (const QString& line : r.notMoved)
        body << QCoreApplication::translate(
                    "OutboxRetry", "A fax was sent, but could not be moved to the sent faxes: %1")
                    .arg(line);
    const int retried = r.failed - static_cast<int>(r.gaveUp.size() + r.unknown.size());
    if (retried > 0)
        body << QCoreApplication::translate(
                    "OutboxRetry",
                    "%n stored fax(es) could not be sent yet; they are tried again later. %1",
                    nullptr, retried)
                    .arg(r.firstCause);
    for (const QString& cause : r.gaveUp)
        body << QCoreApplication::translate(
                    "OutboxRetry", "A stored fax failed too often and is no longer tried: %1")
                    .arg(cause);
    for (const QString& text : r.unknown)
        body << QCoreApplication::translate("OutboxRetry",
                                            "%1. It is not sent again until you decide.")
                    .arg(text);
    if (!body.isEmpty()) {
        QStringList actions = {QStringLiteral("show-outbox"),
                               QCoreApplication::translate("OutboxRetry", "Show outbox")};
        if (!r.failedNames.isEmpty())
            actions << QStringLiteral("try-now")
                    << QCoreApplication::translate("OutboxRetry", "Try now");
        notifier_->Show(QCoreApplication::translate("OutboxRetry", "Send a Fax - Corvinaport"),
                        body.join(QLatin1Char('\n')), actions);
    }
    emit roundDone(r.sent, r.failed);
}

void OutboxRetry::OnAction(const QString& key) {
    if (key == QLatin1String("try-now")) {
        RunNow(lastFailed_);
    } else if (key == QLatin1String("show-outbox") || key == QLatin1String("default")) {
        if (!QProcess::startDetached(QString::fromStdString(windowProgram), {}))
            emit report(QStringLiteral("cannot run %1").arg(QString::fromStdString(windowProgram)));
    }
}
