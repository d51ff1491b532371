#include "tools/faxwatch/FaxWatcher.h"

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

#include "tools/notify/WindowMessage.h"

namespace {

constexpr const char* kDefaultSpool = "/var/spool/corvinaport/";
constexpr const char* kWizardProgram = "corvinaport-sendfax";
constexpr const char* kGroupSuffix = ".grp";

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

FaxWatcher::~FaxWatcher() {
    notifier_.reset();
    if (inotify_ >= 0) ::close(inotify_);
}

bool FaxWatcher::Start(std::string* reason) {
    if (inotify_ < 0) {
        inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (inotify_ < 0) {
            if (reason) *reason = std::string("inotify is unavailable: ") + std::strerror(errno);
            return false;
        }
        notifier_ = std::make_unique<QSocketNotifier>(inotify_, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, &FaxWatcher::OnEvents);
    }
    TryWatch();
    if (!watching()) {
        emit report(QStringLiteral("waiting for the folder %1").arg(Q(options_.folder)));
        retryTimer_.start();
    }
    return true;
}

void FaxWatcher::TryWatch() {
    if (watching()) return;
    if (!IsOwnRealFolder(options_.folder)) return;
    watch_ = inotify_add_watch(inotify_, Bare(options_.folder).c_str(),
                               IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW);
    if (!watching()) return;
    retryTimer_.stop();
    emit report(QStringLiteral("watching %1").arg(Q(options_.folder)));
    // Prints made while nobody watched.
    Scan();
}

void FaxWatcher::Lost() {
    if (watching()) inotify_rm_watch(inotify_, watch_);
    watch_ = -1;
    emit report(QStringLiteral("the folder %1 is gone; waiting for it").arg(Q(options_.folder)));
    retryTimer_.start();
}

void FaxWatcher::Scan() {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(options_.folder.c_str()), &closedir);
    if (!dir) return;
    std::vector<std::pair<time_t, std::string>> found;
    while (dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (!Acceptable(name)) continue;
        struct stat st {};
        if (lstat((options_.folder + name).c_str(), &st) == 0)
            found.emplace_back(st.st_mtime, name);
    }
    // Oldest print first.
    std::sort(found.begin(), found.end());
    for (const auto& [when, name] : found) Handle(name);
}

void FaxWatcher::OnEvents() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(inotify_, buffer, sizeof buffer);
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
                pending_.erase(name);
                launched_.erase(name);
            } else if (event->mask & (IN_MOVED_TO | IN_CLOSE_WRITE)) {
                if (Acceptable(name)) Handle(name);
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

void FaxWatcher::Handle(const std::string& name) {
    if (pending_.count(name) || launched_.count(name)) return;
    WindowMessage message;
    message.registeredName = kKestroMessage;
    message.wParam = 1;
    const BroadcastResult sent = Broadcast(message, options_.messageFolder);
    if (sent.delivered > 0) {
        emit report(
            QStringLiteral("%1: told %2 running wizard(s)").arg(Q(name)).arg(sent.delivered));
        pending_[name] = std::chrono::steady_clock::now() + options_.grace;
        if (!pendingTimer_.isActive())
            pendingTimer_.start(static_cast<int>(options_.grace.count()));
        return;
    }
    Launch(name);
}

void FaxWatcher::CheckPending() {
    const auto now = std::chrono::steady_clock::now();
    std::vector<std::string> due;
    auto next = std::chrono::steady_clock::time_point::max();
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
    if (next != std::chrono::steady_clock::time_point::max()) {
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - now);
        pendingTimer_.start(static_cast<int>(std::max<long long>(wait.count(), 1)));
    }
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
    launched_.insert(name);
    emit report(
        QStringLiteral("%1: started %2 (process %3)").arg(Q(name), Q(options_.wizard)).arg(pid));
    return true;
}
