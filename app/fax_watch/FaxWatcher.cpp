#include "app/fax_watch/FaxWatcher.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QProcess>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/window_messages/WindowMessage.h"
#include "imaging/IniFile.h"

namespace {

constexpr const char* kDefaultSpool = "/var/spool/corvinaport/";
constexpr const char* kWizardProgram = "corvinaport-sendfax";
constexpr const char* kGroupSuffix = ".grp";
constexpr const char* kSettingsFile = "bi_group.ini";

std::string WithSlash(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder;
}

std::string LoginName() {
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_name) return pw->pw_name;
    return std::to_string(getuid());
}

// Without its trailing "/": a path ending in "/" would follow a symbolic link.
std::string Bare(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder;
}

bool IsOwnRealFolder(const std::string& folder) {
    struct stat st {};
    return lstat(Bare(folder).c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid();
}

QString Q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

FaxWatchOptions DefaultFaxWatchOptions(const std::string& programDir) {
    FaxWatchOptions options;
    const char* windir = std::getenv("CORVINAPORT_WINDIR");
    options.folder = WithSlash(windir && *windir ? windir : kDefaultSpool + LoginName());
    const std::string beside = WithSlash(programDir) + kWizardProgram;
    options.wizard =
        !programDir.empty() && access(beside.c_str(), X_OK) == 0 ? beside : kWizardProgram;
    options.messageFolder = MessageFolder();
    return options;
}

FaxWatcher::FaxWatcher(FaxWatchOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)) {
    options_.folder = WithSlash(options_.folder);
    retryTimer_.setInterval(static_cast<int>(options_.retry.count()));
    connect(&retryTimer_, &QTimer::timeout, this, &FaxWatcher::TryWatch);
    pendingTimer_.setSingleShot(true);
    connect(&pendingTimer_, &QTimer::timeout, this, &FaxWatcher::CheckPending);
}

FaxWatcher::~FaxWatcher() { notifier_.reset(); }

Result<> FaxWatcher::Start() {
    if (!inotify_) {
        inotify_.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        if (!inotify_) return FromErrno("inotify is unavailable");
        notifier_ = std::make_unique<QSocketNotifier>(inotify_.get(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &FaxWatcher::OnEvents);
    }
    TryWatch();
    if (!watching()) {
        emit report(QStringLiteral("waiting for the folder %1").arg(Q(options_.folder)));
        retryTimer_.start();
    }
    return {};
}

void FaxWatcher::TryWatch() {
    if (watching()) return;
    if (!IsOwnRealFolder(options_.folder)) return;
    watch_ = inotify_add_watch(inotify_.get(), Bare(options_.folder).c_str(),
                               IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (!watching()) return;
    retryTimer_.stop();
    emit report(QStringLiteral("watching %1").arg(Q(options_.folder)));
    // Prints made while nobody watched.
    Scan();
}

void FaxWatcher::Lost() {
    if (watching()) inotify_rm_watch(inotify_.get(), watch_);
    watch_ = -1;
    emit report(QStringLiteral("the folder %1 is gone; waiting for it").arg(Q(options_.folder)));
    retryTimer_.start();
}

void FaxWatcher::Scan() {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(options_.folder.c_str()), &closedir);
    if (!dir) return;
    std::vector<std::pair<timespec, std::string>> found;
    while (dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!Acceptable(name)) continue;
        struct stat st {};
        if (lstat((options_.folder + name).c_str(), &st) == 0) found.emplace_back(st.st_mtim, name);
    }
    // Oldest print first.
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.first.tv_sec != b.first.tv_sec) return a.first.tv_sec < b.first.tv_sec;
        if (a.first.tv_nsec != b.first.tv_nsec) return a.first.tv_nsec < b.first.tv_nsec;
        return a.second < b.second;
    });
    for (const auto& [when, name] : found) Arrived(name);
    SettingsWritten();
}

void FaxWatcher::OnEvents() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(inotify_.get(), buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                Scan();
                continue;
            }
            if (event->wd != watch_) continue;
            if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                Lost();
                return;
            }
            if (event->len == 0) continue;
            const std::string name = event->name;
            if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
                Forget(name);
            } else if (event->mask & (IN_MOVED_TO | IN_CLOSE_WRITE)) {
                if (name == kSettingsFile)
                    SettingsWritten();
                else if (Acceptable(name))
                    Arrived(name);
            }
        }
    }
}

bool FaxWatcher::Acceptable(const std::string& name) const {
    const std::size_t suffix = std::strlen(kGroupSuffix);
    if (name.size() <= suffix || name.front() == '.' ||
        name.compare(name.size() - suffix, suffix, kGroupSuffix) != 0)
        return false;
    // The name goes into a double-quoted command-line argument.
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F || c == '"') return false;
    if (!IsOwnRealFolder(options_.folder)) return false;
    struct stat st {};
    return lstat((options_.folder + name).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           st.st_uid == getuid() && st.st_nlink == 1;
}

bool FaxWatcher::Handled(const std::string& name) const {
    return waiting_.count(name) || pending_.count(name) || handed_.count(name);
}

void FaxWatcher::Forget(const std::string& name) {
    waiting_.erase(name);
    pending_.erase(name);
}

void FaxWatcher::Schedule(Clock::time_point deadline) {
    const auto wait =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int ms = static_cast<int>(std::clamp<long long>(wait, 1, 24LL * 3600 * 1000));
    if (!pendingTimer_.isActive() || pendingTimer_.remainingTime() > ms) pendingTimer_.start(ms);
}

void FaxWatcher::Arrived(const std::string& name) {
    if (Handled(name)) return;
    const auto deadline = Clock::now() + options_.grace;
    waiting_[name] = Waiting{++arrivals_, deadline};
    Schedule(deadline);
    // bi_group.ini may name it already (written before this event was read).
    if (NamedBySettings() == name) SettingsWritten();
}

std::string FaxWatcher::NamedBySettings() const {
    const std::string settings = options_.folder + kSettingsFile;
    struct stat st {};
    // The printer's own file: regular, of this user, not a link.
    if (lstat(settings.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != getuid())
        return {};
    const auto section = ReadProfileString(settings, "Current setting", "Name and Port");
    if (!section || section->empty()) return {};
    const auto group = ReadProfileString(settings, *section, "Groupfile name");
    if (!group) return {};
    std::string name = *group;
    if (name.compare(0, options_.folder.size(), options_.folder) == 0)
        name.erase(0, options_.folder.size());
    return name.find('/') == std::string::npos ? name : std::string();
}

void FaxWatcher::SettingsWritten() {
    const std::string named = NamedBySettings();
    const auto it = waiting_.find(named);
    if (named.empty() || it == waiting_.end()) return;
    const std::uint64_t order = it->second.order;
    waiting_.erase(it);
    // Group files that arrived before the one named are complete too, but
    // bi_group.ini no longer leads to them: they get a wizard of their own.
    std::vector<std::string> older;
    for (const auto& [name, waiting] : waiting_)
        if (waiting.order < order) older.push_back(name);
    std::sort(older.begin(), older.end(), [this](const std::string& a, const std::string& b) {
        return waiting_.at(a).order < waiting_.at(b).order;
    });
    for (const std::string& name : older) {
        waiting_.erase(name);
        if (Acceptable(name)) Launch(name);
    }
    if (Acceptable(named)) Offer(named);
}

void FaxWatcher::Offer(const std::string& name) {
    WindowMessage message;
    message.registeredName = kKestroMessage;
    message.wParam = 1;
    const std::string path = options_.folder + name;
    auto gone = [&path] {
        struct stat st {};
        return lstat(path.c_str(), &st) != 0 && errno == ENOENT;
    };
    // One wizard at a time, so that the first that can take it does, and the
    // others are not disturbed. A wizard that took another print (the
    // printer was faster) leaves this one to the next.
    const AskResult asked = AskInTurn(
        message, options_.messageFolder,
        [&](const std::string& answer) { return answer == kAnswerTaken && gone(); },
        static_cast<int>(options_.answer.count()));
    int declined = 0, silent = 0;
    for (const WizardAnswer& said : asked.answers) {
        if (!said.answer)
            ++silent;
        else if (*said.answer != kAnswerTaken)
            ++declined;
    }
    if (gone()) {
        handed_.insert(name);
        emit report(QStringLiteral("%1: taken over by a running wizard").arg(Q(name)));
        return;
    }
    if (silent > 0) {
        // A wizard that does not answer may still be taking it.
        emit report(QStringLiteral("%1: told %2 running wizard(s) that do not answer")
                        .arg(Q(name))
                        .arg(silent));
        const auto deadline = Clock::now() + options_.grace;
        pending_[name] = deadline;
        Schedule(deadline);
        return;
    }
    if (declined > 0)
        emit report(
            QStringLiteral("%1: declined by %2 running wizard(s)").arg(Q(name)).arg(declined));
    Launch(name);
}

void FaxWatcher::CheckPending() {
    const auto now = Clock::now();
    std::vector<std::string> due;
    auto next = Clock::time_point::max();
    for (const auto& [name, deadline] : pending_) {
        if (deadline <= now)
            due.push_back(name);
        else
            next = std::min(next, deadline);
    }
    for (const std::string& name : due) {
        pending_.erase(name);
        // Still there: no running wizard took it over, so one is started for it.
        if (Acceptable(name)) {
            emit report(QStringLiteral("%1: not taken over in time").arg(Q(name)));
            Launch(name);
        }
    }
    std::vector<std::pair<std::uint64_t, std::string>> unnamed;
    for (const auto& [name, waiting] : waiting_) {
        if (waiting.deadline <= now)
            unnamed.emplace_back(waiting.order, name);
        else
            next = std::min(next, waiting.deadline);
    }
    std::sort(unnamed.begin(), unnamed.end());
    for (const auto& [order, name] : unnamed) {
        waiting_.erase(name);
        // Complete on its own, but bi_group.ini never named it.
        if (Acceptable(name)) {
            emit report(QStringLiteral("%1: not named by %2 in time").arg(Q(name), kSettingsFile));
            Launch(name);
        }
    }
    if (next != Clock::time_point::max()) Schedule(next);
}

bool FaxWatcher::Launch(const std::string& name) {
    QProcess process;
    process.setProgram(Q(options_.wizard));
    process.setArguments({QStringLiteral("/print"), Q("\"" + name + "\"")});
    process.setWorkingDirectory(Q(options_.folder));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CORVINAPORT_WINDIR"), Q(options_.folder));
    process.setProcessEnvironment(env);
    process.setStandardInputFile(QProcess::nullDevice());
    qint64 pid = 0;
    if (!process.startDetached(&pid)) {
        emit report(QStringLiteral("%1: cannot start %2: %3")
                        .arg(Q(name), Q(options_.wizard), process.errorString()));
        return false;
    }
    handed_.insert(name);
    emit report(
        QStringLiteral("%1: started %2 (process %3)").arg(Q(name), Q(options_.wizard)).arg(pid));
    return true;
}
