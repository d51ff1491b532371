#pragma once

#include <QObject>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

// Retries the faxes stored in the outbox without the user doing anything:
// every interval it runs "<program> send --due" (the outbox command, which
// keeps each fax's back-off) and tells the user the outcome with a desktop
// notification. The sending runs in a process of its own, so an upload never
// holds up the watcher's hand-over of prints. A missing notification service
// is not an error.
class OutboxRetry : public QObject {
    Q_OBJECT
  public:
    // program: corvinaport-outbox beside programDir, else from PATH.
    OutboxRetry(const std::string& programDir, std::chrono::milliseconds interval,
                QObject* parent = nullptr);
    ~OutboxRetry() override;

    // Runs a first round shortly, then one every interval.
    void Start();
    // One round now, unless one is running.
    void RunNow();
    [[nodiscard]] const std::string& program() const { return program_; }
    void SetProgram(std::string program) { program_ = std::move(program); }

  signals:
    // A line of the outbox command, for the user's log.
    void report(const QString& line);
    // The end of a round: faxes sent and faxes that stay after an attempt.
    void roundDone(int sent, int failed);

  private:
    void OnFinished();
    void Notify(const QString& body);

    std::string program_;
    QTimer timer_;
    std::unique_ptr<QProcess> process_;
};
