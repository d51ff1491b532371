#include "app/fax_watch/DesktopNotifier.h"

#include <unistd.h>

namespace {

constexpr const char* kNotifyProgram = "corvinaport-desktop-notify";

}  // namespace

DesktopNotifier::DesktopNotifier(const std::string& programDir, QObject* parent) : QObject(parent) {
    std::string beside = programDir;
    if (!beside.empty() && beside.back() != '/') beside += '/';
    beside += kNotifyProgram;
    program_ = !programDir.empty() && ::access(beside.c_str(), X_OK) == 0 ? beside : kNotifyProgram;
    limit_.setSingleShot(true);
    connect(&limit_, &QTimer::timeout, this, [this] {
        if (idSeen_) return;
        Stop();
        emit failed(QStringLiteral("the notification service did not answer"));
    });
}

DesktopNotifier::~DesktopNotifier() { Stop(); }

void DesktopNotifier::Stop() {
    limit_.stop();
    if (!child_) return;
    child_->disconnect(this);
    if (child_->state() != QProcess::NotRunning) {
        child_->kill();
        child_->waitForFinished(1000);
    }
    child_.reset();
}

void DesktopNotifier::Show(const QString& summary, const QString& body,
                           const QStringList& actions) {
    // The one on the screen is replaced, and so is the process waiting on it.
    Stop();
    idSeen_ = false;
    QStringList args = {QStringLiteral("--summary"),       summary,
                        QStringLiteral("--body"),          body,
                        QStringLiteral("--desktop-entry"), QStringLiteral("corvinaport-outbox")};
    if (lastId_ != 0) args << QStringLiteral("--replaces") << QString::number(lastId_);
    for (int i = 0; i + 1 < actions.size(); i += 2)
        args << QStringLiteral("--action") << actions[i] << actions[i + 1];
    if (!actions.isEmpty()) args << QStringLiteral("--wait") << QString::number(waitSeconds);
    child_ = std::make_unique<QProcess>();
    child_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(child_.get(), &QProcess::readyReadStandardOutput, this, &DesktopNotifier::OnOutput);
    connect(child_.get(), &QProcess::errorOccurred, this, [this](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            emit failed(QStringLiteral("cannot run %1").arg(QString::fromStdString(program_)));
    });
    child_->start(QString::fromStdString(program_), args);
    limit_.start(limitMs);
}

void DesktopNotifier::OnOutput() {
    while (child_ && child_->canReadLine()) {
        const QString line = QString::fromUtf8(child_->readLine()).trimmed();
        if (line.startsWith(QStringLiteral("id "))) {
            idSeen_ = true;
            limit_.stop();
            lastId_ = line.mid(3).toUInt();
            emit shown(lastId_);
        } else if (line.startsWith(QStringLiteral("action "))) {
            emit actionInvoked(line.mid(7));
        } else if (line.startsWith(QStringLiteral("error "))) {
            emit failed(line.mid(6));
        }
    }
}
