#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>
#include <memory>
#include <string>

// Shows the watcher's desktop notifications without ever waiting for the
// session bus: each one is shown by corvinaport-desktop-notify, a process of
// its own, which is stopped when it has not shown its notification within a
// time limit (a bus that does not answer costs notifications, never the
// watcher's rounds or its hand-over of prints). Each notification replaces
// the one before it.
class DesktopNotifier : public QObject {
    Q_OBJECT
  public:
    // program: corvinaport-desktop-notify beside programDir, else from PATH.
    explicit DesktopNotifier(const std::string& programDir, QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // actions: key, label, key, label...
    void Show(const QString& summary, const QString& body, const QStringList& actions = {});

    [[nodiscard]] const std::string& program() const { return program_; }
    void SetProgram(std::string program) { program_ = std::move(program); }
    [[nodiscard]] std::uint32_t lastId() const { return lastId_; }

    // How long a notification may take to be shown.
    int limitMs = 10000;
    // How long the user may take to act on one.
    int waitSeconds = 3600;

  signals:
    void actionInvoked(const QString& key);
    // The notification could not be shown (no service, a bus that does not
    // answer); for the log.
    void failed(const QString& why);
    void shown(std::uint32_t id);

  private:
    void Stop();
    void OnOutput();

    std::string program_;
    std::unique_ptr<QProcess> child_;
    QTimer limit_;
    std::uint32_t lastId_ = 0;
    bool idSeen_ = false;
};
