#include "tools/faxwatch/NotificationClient.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTimer>
#include <cstdio>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kCallTimeoutMs = 10000;

void Say(const QString& line) {
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

}  // namespace

bool NotificationClient::Show(const Request& request) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        Say(QStringLiteral("error no session bus"));
        return false;
    }
    QVariantMap hints;
    if (!request.desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), request.desktopEntry);
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << request.appName << static_cast<uint>(request.replacesId) << request.icon
         << request.summary << request.body << request.actions << hints << -1;
    // Listen before asking, so an action taken at once is not missed.
    if (request.waitSeconds > 0 && !request.actions.isEmpty()) {
        (void)bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                          SLOT(OnAction(uint, QString)));
        (void)bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                          SLOT(OnClosed(uint, uint)));
    }
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        Say(QStringLiteral("error ") + reply.errorMessage());
        return false;
    }
    id_ = reply.arguments().constFirst().toUInt();
    Say(QStringLiteral("id %1").arg(id_));
    if (request.waitSeconds <= 0 || request.actions.isEmpty()) return true;
    QTimer::singleShot(request.waitSeconds * 1000, this, [this] {
        Say(QStringLiteral("closed"));
        emit finished();
    });
    return true;
}

void NotificationClient::OnAction(uint id, const QString& key) {
    if (id != id_) return;
    Say(QStringLiteral("action ") + key);
    emit finished();
}

void NotificationClient::OnClosed(uint id, uint) {
    if (id != id_) return;
    Say(QStringLiteral("closed"));
    emit finished();
}
