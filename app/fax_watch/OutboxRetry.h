#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

class DesktopNotifier;

// Retries the faxes stored in the outbox without the user doing anything:
// every interval it runs "<program> send --due" (the outbox command, which
// keeps each fax's state and back-off) and tells the user what changed with
// one desktop notification a round, which replaces the one before. The
// sending runs in a process of its own, and so does the notification, so
// neither an upload nor a session bus that does not answer ever holds up
// the watcher's hand-over of prints. A missing notification service is not
// an error; a missing outbox command (the package was removed) ends the
// retries quietly.
class OutboxRetry : public QObject {
    Q_OBJECT
  public:
    // program: corvinaport-outbox beside programDir, else from PATH; the
    // notifications' program likewise.
    OutboxRetry(const std::string& programDir, std::chrono::milliseconds interval,
                QObject* parent = nullptr);
    ~OutboxRetry() override;

    // Runs a first round shortly, then one every interval.
    void Start();
    // One round now, unless one is running. names: send these (the user's
    // "Try now"); none: the automatic round of due faxes.
    void RunNow(const QStringList& names = {});
    [[nodiscard]] const std::string& program() const { return program_; }
    void SetProgram(std::string program) { program_ = std::move(program); }
    [[nodiscard]] DesktopNotifier& notifier() { return *notifier_; }
    // The program the "Show outbox" action starts.
    std::string windowProgram;
    [[nodiscard]] bool stopped() const { return stopped_; }

  signals:
    // A line of the outbox command, for the user's log.
    void report(const QString& line);
    // The end of a round: faxes sent and faxes that stay after an attempt.
    void roundDone(int sent, int failed);

  private:
    void OnFinished();
    void OnAction(const QString& key);

    std::string program_;
    QTimer timer_;
    std::unique_ptr<QProcess> process_;
    DesktopNotifier* notifier_;
    QStringList lastFailed_;
    bool stopped_ = false;
};
