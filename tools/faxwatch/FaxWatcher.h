#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <map>
#include <memory>
#include <set>
#include <string>

class QSocketNotifier;

// What the watcher needs to know; see DefaultFaxWatchOptions().
struct FaxWatchOptions {
    std::string folder;         // the user's driver folder, ends with "/"
    std::string wizard;         // program started when no wizard runs
    std::string messageFolder;  // sockets of the user's running wizards
    // Time a running wizard has to take a print over after being told.
    std::chrono::milliseconds grace{10000};
    // How often a missing folder is looked for again.
    std::chrono::milliseconds retry{2000};
};

// folder: CORVINAPORT_WINDIR, else /var/spool/corvinaport/<login name>/;
// wizard: corvinaport-sendfax beside this program, else from PATH;
// messageFolder: the folder corvinaport-notify sends to.
[[nodiscard]] FaxWatchOptions DefaultFaxWatchOptions(const std::string& programDir);

// Hands each print of the fax printer to the user's Send a Fax wizard.
//
// The printer writes, in the user's driver folder, the image, then its group
// file ("*.grp", renamed into place when complete), then bi_group.ini. For
// every group file that appears (and every one present at start) the watcher
// sends the "KESTRO message" (first parameter 1) to the running wizards; a
// wizard takes the print over from bi_group.ini and deletes the group file.
// When no wizard runs, or the group file is still there after the grace
// time, it starts the wizard as
//     <wizard> /print "<group file name>"
// in the driver folder, with CORVINAPORT_WINDIR set to it. The file name is
// given relative to the folder because the wizard searches its whole command
// line for switches such as "/s" and "/n", which folder names may hold.
//
// Only regular files of this user, with one link, in a folder of this user
// are handed over: another user's print never reaches this user's wizard.
class FaxWatcher : public QObject {
    Q_OBJECT
  public:
    explicit FaxWatcher(FaxWatchOptions options, QObject* parent = nullptr);
    ~FaxWatcher() override;

    // Starts watching; a folder that does not exist yet is waited for.
    // False, with the reason, when inotify is unavailable.
    bool Start(std::string* reason = nullptr);
    [[nodiscard]] bool watching() const { return watch_ >= 0; }
    [[nodiscard]] const FaxWatchOptions& options() const { return options_; }
    // Prints told to a running wizard and not yet seen taken over.
    [[nodiscard]] std::size_t pendingCount() const { return pending_.size(); }

  signals:
    // One line for the user's log: what was done with which print.
    void report(const QString& line);

  private:
    void TryWatch();
    void Scan();
    void OnEvents();
    void CheckPending();
    void Handle(const std::string& name);
    [[nodiscard]] bool Acceptable(const std::string& name) const;
    bool Launch(const std::string& name);
    void Lost();

    FaxWatchOptions options_;
    int inotify_ = -1;
    int watch_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retryTimer_;
    QTimer pendingTimer_;
    // Group files told to a running wizard, with the time they must be gone by.
    std::map<std::string, std::chrono::steady_clock::time_point> pending_;
    // Group files already given to a started wizard.
    std::set<std::string> launched_;
};
