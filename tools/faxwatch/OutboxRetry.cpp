#include "tools/faxwatch/OutboxRetry.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
#include <algorithm>

namespace {

constexpr const char* kOutboxProgram = "corvinaport-outbox";
// The first round waits a little, so a session's start is not slowed down.
constexpr int kFirstRoundMs = 30000;

}  // namespace

OutboxRetry::OutboxRetry(const std::string& programDir, std::chrono::milliseconds interval,
                         QObject* parent)
    : QObject(parent) {
    std::string beside = programDir;
    if (!beside.empty() && beside.back() != '/') beside += '/';
    beside += kOutboxProgram;
    program_ = !programDir.empty() && ::access(beside.c_str(), X_OK) == 0 ? beside : kOutboxProgram;
    timer_.setInterval(static_cast<int>(interval.count()));
    connect(&timer_, &QTimer::timeout, this, &OutboxRetry::RunNow);
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
    QTimer::singleShot(std::min(kFirstRoundMs, timer_.interval()), this, &OutboxRetry::RunNow);
}

void OutboxRetry::RunNow() {
    if (process_ && process_->state() != QProcess::NotRunning) return;
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process_.get(), &QProcess::finished, this, &OutboxRetry::OnFinished);
    connect(process_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        emit report(QStringLiteral("cannot run %1").arg(QString::fromStdString(program_)));
        emit roundDone(0, 0);
    });
    process_->start(QString::fromStdString(program_),
                    {QStringLiteral("send"), QStringLiteral("--due")});
}

void OutboxRetry::OnFinished() {
    const QString output = QString::fromLocal8Bit(process_->readAllStandardOutput());
    int sent = 0;
    int failed = 0;
    QString firstCause;
    for (const QString& line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        emit report(line);
        if (line.endsWith(QStringLiteral(": sent"))) {
            ++sent;
        } else if (const int at = line.indexOf(QStringLiteral(": not sent: ")); at >= 0) {
            ++failed;
            if (firstCause.isEmpty()) firstCause = line.mid(at + 12);
        }
    }
    if (sent > 0)
        Notify(
            QCoreApplication::translate("OutboxRetry", "%n stored fax(es) sent.", nullptr, sent));
    if (failed > 0)
        Notify(QCoreApplication::translate(
                   "OutboxRetry",
                   "%n stored fax(es) could not be sent yet; they are tried again "
                   "later. %1",
                   nullptr, failed)
                   .arg(firstCause));
    emit roundDone(sent, failed);
}

void OutboxRetry::Notify(const QString& body) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("Corvinaport") << 0u << QStringLiteral("mail-send")
         << QCoreApplication::translate("OutboxRetry", "Send a Fax - Corvinaport") << body
         << QStringList() << QVariantMap() << -1;
    // Not waited for: without a notification service the call just fails.
    (void)QDBusConnection::sessionBus().send(call);
}
