#pragma once

#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "pages/CPageViewer.h"
#include "wizard/outbox/core/OutboxEntries.h"
#include "wizard/outbox/ui/OutboxListModel.h"

class Clock;
class MessageBoxService;
class QLabel;
class QLineEdit;
class QProcess;
class QPushButton;
class QTabWidget;
class QTreeView;
class ShellLauncher;

struct OutboxWindowOptions {
    std::string localFolders;  // ends with "/"
    // The command that sends stored faxes (corvinaport-outbox).
    QString outboxCommand;
    MessageBoxService* messageBox = nullptr;
    ShellLauncher* shell = nullptr;
    PreviewRunner preview;
    Clock* clock = nullptr;
    // Open the settings window and the Contacts window; no button when empty.
    std::function<void()> openSettings;
    std::function<void()> openContacts;
};

// "Corvinaport Outbox": the stored faxes and the sent ones, with their states
// in words, a search over both, and what the user does with them. It follows
// the folders as the watcher, the command and other windows change them.
// Sending runs the command, so the window never waits and the folder locks
// keep every fax sent once.
class OutboxWindow final : public QWidget {
    Q_OBJECT
  public:
    explicit OutboxWindow(OutboxWindowOptions options, QWidget* parent = nullptr);
    // Waits for its sends: a send stopped half-way would leave its fax
    // undecided.
    ~OutboxWindow() override;

    // The actions, on the selected faxes of the list shown.
    void Preview();
    void SendNow();
    void MarkSent();
    void Hold();
    void Delete();
    void SendAgain();
    void ShowInFolder();
    // Reads both lists again (at once, or after the load under way).
    void Reload();

    [[nodiscard]] QLineEdit* searchField() const { return search_; }
    [[nodiscard]] QTabWidget* tabs() const { return tabs_; }
    [[nodiscard]] QTreeView* view(OutboxEntry::List list) const;
    [[nodiscard]] OutboxListModel* model(OutboxEntry::List list) const;
    [[nodiscard]] OutboxFilter* filter(OutboxEntry::List list) const;
    [[nodiscard]] QLabel* statusLabel() const { return status_; }
    [[nodiscard]] int runningSends() const { return static_cast<int>(processes_.size()); }
    [[nodiscard]] bool loading() const { return loading_; }

  signals:
    // The first batch of a window's first load is shown.
    void firstScreen();
    // A load's entries are all shown (page counts may still come).
    void loaded();
    // The last running send ended.
    void sendsFinished();

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Apply(unsigned generation, OutboxBatch& batch);
    void UpdateButtons();
    void WatchFolders();
    [[nodiscard]] OutboxEntry::List CurrentList() const;
    [[nodiscard]] std::vector<OutboxEntry> Selected() const;
    void RunCommand(const QStringList& arguments);
    void Tell(const QString& text, bool problem);

    OutboxWindowOptions options_;
    OutboxLoader loader_;
    QLineEdit* search_;
    QTabWidget* tabs_;
    QTreeView *outboxView_, *sentView_;
    OutboxListModel *outboxModel_, *sentModel_;
    OutboxFilter *outboxFilter_, *sentFilter_;
    QPushButton *preview_, *send_, *hold_, *markSent_, *delete_, *sendAgain_, *showFolder_;
    QLabel* status_;
    QFileSystemWatcher watcher_;
    QTimer debounce_, periodic_;
    std::vector<QProcess*> processes_;
    bool loading_ = false, reloadPending_ = false, firstLoad_ = true, firstShown_ = false;
    bool purged_ = false;
    unsigned generation_ = 0;
    std::vector<OutboxEntry> nextOutbox_, nextSent_;
    // Last: stopped and joined first.
    std::jthread worker_;
};
