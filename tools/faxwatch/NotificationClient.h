#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <cstdint>

// One desktop notification over org.freedesktop.Notifications, shown by a
// process of its own (corvinaport-desktop-notify) so that a session bus that
// does not answer can only ever hold up that process. It prints "id N" once
// the notification is shown, then "action KEY" or "closed" when the user
// acts on it or it goes, and ends.
class NotificationClient : public QObject {
    Q_OBJECT
  public:
    struct Request {
        QString appName = QStringLiteral("Corvinaport");
        QString icon = QStringLiteral("mail-send");
        QString summary;
        QString body;
        std::uint32_t replacesId = 0;
        QStringList actions;  // key, label, key, label...
        QString desktopEntry;
        int waitSeconds = 0;  // how long to wait for an action (0: do not)
    };

    // Sends the notification; false (with the reason printed) when the
    // service cannot be reached or refuses it.
    bool Show(const Request& request);

  signals:
    void finished();

  private slots:
    void OnAction(uint id, const QString& key);
    void OnClosed(uint id, uint reason);

  private:
    std::uint32_t id_ = 0;
};
