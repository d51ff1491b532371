#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "base/Failure.h"
#include "base/UniqueFd.h"

class QSocketNotifier;

// What the watcher needs to know; see DefaultFaxWatchOptions().
struct FaxWatchOptions {
    std::string folder;         // the user's driver folder, ends with "/"
    std::string wizard;         // program started when no wizard runs
    std::string messageFolder;  // sockets of the user's running wizards
    // Time a running wizard that gives no answer has to take a print over
    // after being told; also how long a group file may wait for bi_group.ini
    // to name it.
    std::chrono::milliseconds grace{10000};
    // How long one running wizard is waited for to answer whether it took a
    // print.
    std::chrono::milliseconds answer{3000};
    // How often a missing folder is looked for again.
    std::chrono::milliseconds retry{2000};
};

// folder: CORVINAPORT_WINDIR, else /var/spool/corvinaport/<login name>/;
// wizard: corvinaport-sendfax beside this program, else from PATH;
// messageFolder: the folder corvinaport-notify sends to.
[[nodiscard]] FaxWatchOptions DefaultFaxWatchOptions(const std::string& programDir);

// Hands each print of the fax printer to the user's Send a Fax wizard, so
// that every print opens exactly one wizard.
//
// The printer writes, in the user's driver folder, the image, then its group
// file ("*.grp", renamed into place when complete), then bi_group.ini naming
// that group file. A print is acted on only once it is complete:
// - the group file that bi_group.ini names is offered to the running wizards
//   with the "KESTRO message" (first parameter 1), one wizard at a time,
//   until one answers that it took the print (a wizard takes it over from
//   bi_group.ini, claiming the group file by renaming it); a wizard that
//   cannot take it answers no, and one that does not answer is waited for a
//   bounded time;
// - when no wizard took it, when no wizard runs, and for an older group file
//   that bi_group.ini no longer names (the message cannot reach it), the
//   watcher starts the wizard as
//       <wizard> /print "<group file name>"
//   in the driver folder, with CORVINAPORT_WINDIR set to it. The file name is
//   given relative to the folder because the wizard searches its whole
//   command line for switches such as "/s" and "/n", which folder names may
//   hold.
// A wizard that does not answer (an older one) may still take the print: the
// watcher starts a new one only when the group file is still there after the
// grace time, and the take-over's claim by rename leaves no window between.
//
// Only regular files of this user, with one link, in a folder of this user
// are handed over: another user's print never reaches this user's wizard.
class FaxWatcher : public QObject {
    Q_OBJECT
  public:
    explicit FaxWatcher(FaxWatchOptions options, QObject* parent = nullptr);
    ~FaxWatcher() override;

    // Starts watching; a folder that does not exist yet is waited for.
    // Fails, with the cause, when inotify is unavailable.
    Result<> Start();
    [[nodiscard]] bool watching() const { return watch_ >= 0; }
    [[nodiscard]] const FaxWatchOptions& options() const { return options_; }
    // Prints not yet seen handed over: waiting for bi_group.ini, or told to
    // a wizard that did not answer.
    [[nodiscard]] std::size_t pendingCount() const { return pending_.size() + waiting_.size(); }

  signals:
    // One line for the user's log: what was done with which print.
    void report(const QString& line);

  private:
    using Clock = std::chrono::steady_clock;

    void TryWatch();
    void Scan();
    void OnEvents();
    void CheckPending();
    // A group file appeared: it waits for bi_group.ini to name it.
    void Arrived(const std::string& name);
    // bi_group.ini was written: its print is complete, and so is every
    // group file that arrived before it.
    void SettingsWritten();
    // The group file bi_group.ini names now, relative to the folder; empty
    // when it names none in this folder.
    [[nodiscard]] std::string NamedBySettings() const;
    // Offers a complete print to the running wizards, else starts one.
    void Offer(const std::string& name);
    [[nodiscard]] bool Acceptable(const std::string& name) const;
    [[nodiscard]] bool Handled(const std::string& name) const;
    bool Launch(const std::string& name);
    void Forget(const std::string& name);
    void Schedule(Clock::time_point deadline);
    void Lost();

    FaxWatchOptions options_;
    UniqueFd inotify_;
    int watch_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    QTimer retryTimer_;
    QTimer pendingTimer_;
    // Group files waiting for bi_group.ini: their order of arrival and the
    // time they are started a wizard for all the same.
    struct Waiting {
        std::uint64_t order;
        Clock::time_point deadline;
    };
    std::map<std::string, Waiting> waiting_;
    std::uint64_t arrivals_ = 0;
    // Group files told to a wizard that did not answer, with the time they
    // must be gone by.
    std::map<std::string, Clock::time_point> pending_;
    // Group files handed over: given to a started wizard or taken by a
    // running one. Kept when the file goes, so that a take-over that fails
    // and puts its name back does not start wizard after wizard.
    std::set<std::string> handed_;
};
