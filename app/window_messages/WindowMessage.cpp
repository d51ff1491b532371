#include "app/window_messages/WindowMessage.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "base/FileReplace.h"
#include "base/Text.h"

namespace {

constexpr std::string_view kTag = "CORVMSG 1 ";
constexpr std::string_view kAnswerTag = "CORVANS 1 ";

}  // namespace

std::optional<std::uint64_t> ParseParameter(std::string_view text) {
    if (text.empty()) return std::nullopt;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    std::uint64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

namespace {

// Splits off the text up to the next blank.
std::string_view NextField(std::string_view& rest) {
    auto blank = rest.find(' ');
    std::string_view field = rest.substr(0, blank);
    rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    return field;
}

bool PrintableName(std::string_view name) {
    if (name.empty() || name.size() > kMaxRegisteredName) return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7F) return false;
    return name.front() != ' ' && name.back() != ' ';
}

}  // namespace

std::uint32_t RegisterWindowMessageA(const std::string& name) {
    static std::mutex lock;
    static std::map<std::string, std::uint32_t> registered;
    if (name.empty()) return 0;
    const std::string key = Lower(name);
    std::lock_guard<std::mutex> guard(lock);
    auto [it, added] =
        registered.emplace(key, 0xC000u + static_cast<std::uint32_t>(registered.size()));
    return it->second;
}

std::string FormatMessageLine(const WindowMessage& message) {
    std::string line(kTag);
    line += std::to_string(message.wParam) + " " + std::to_string(message.lParam) + " ";
    if (message.registeredName.empty())
        line += "#" + std::to_string(message.id);
    else
        line += message.registeredName;
    line += "\n";
    return line;
}

std::optional<WindowMessage> ParseMessageLine(std::string_view line) {
    if (line.size() > kMaxMessageLine) return std::nullopt;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, kTag.size()) != kTag) return std::nullopt;
    std::string_view rest = line.substr(kTag.size());
    auto w = ParseParameter(NextField(rest));
    auto l = ParseParameter(NextField(rest));
    if (!w || !l || rest.empty()) return std::nullopt;
    WindowMessage m;
    m.wParam = *w;
    m.lParam = *l;
    if (rest.front() == '#') {
        auto id = ParseParameter(rest.substr(1));
        if (!id || *id == 0 || *id > 0xFFFF) return std::nullopt;
        m.id = static_cast<std::uint32_t>(*id);
    } else {
        if (!PrintableName(rest)) return std::nullopt;
        m.registeredName = std::string(rest);
    }
    return m;
}

std::string FormatAnswerLine(std::string_view answer) {
    if (!PrintableName(answer)) return {};
    std::string line(kAnswerTag);
    line += answer;
    line += "\n";
    return line;
}

std::optional<std::string> ParseAnswerLine(std::string_view line) {
    if (line.size() > kMaxMessageLine) return std::nullopt;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.substr(0, kAnswerTag.size()) != kAnswerTag) return std::nullopt;
    line.remove_prefix(kAnswerTag.size());
    if (!PrintableName(line)) return std::nullopt;
    return std::string(line);
}

std::string MessageFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) {
        std::string folder = runtime;
        if (folder.back() != '/') folder += '/';
        return folder + "corvinaport";
    }
    return "/tmp/corvinaport-" + std::to_string(getuid());
}

bool IsOwnFolder(const std::string& folder) {
    struct stat st {};
    return lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid();
}

namespace {

std::string TempFolder() {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = tmp && *tmp == '/' ? tmp : "/tmp";
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string StandInPrefix() { return "corvinaport-" + std::to_string(getuid()) + "-"; }

}  // namespace

PrivateWorkFolder::PrivateWorkFolder(bool wanted) {
    if (!wanted) return;
    const std::string folder = MessageFolder();
    auto own = EnsurePrivateFolder(folder);
    if (own) {
        path_ = folder + "/";
        return;
    }
    path_ = MakePrivateFolder(TempFolder(), StandInPrefix());
    made_ = !path_.empty();
    if (!made_) why_ = FromErrno(own.failure().cause + "; no folder of its own either");
}

PrivateWorkFolder::~PrivateWorkFolder() {
    if (made_) (void)::rmdir(path_.c_str());
}

Result<std::string> PrivateWorkFolder::path() const {
    if (path_.empty()) return why_;
    return path_;
}

int RemoveAbandonedBodyFiles() {
    // A writer locks its file at once; the grace only spares one being made.
    constexpr long kMinAgeSeconds = 2;
    int removed = 0;
    if (IsOwnFolder(MessageFolder()))
        removed +=
            RemoveAbandonedFiles(MessageFolder(), kBodyFilePrefix, kBodyFileSuffix, kMinAgeSeconds);
    const std::string tmp = TempFolder();
    const std::string prefix = StandInPrefix();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(tmp.c_str()), &::closedir);
    if (!dir) return removed;
    std::vector<std::string> standIns;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        struct stat st {};
        // A young one may be about to receive its body file.
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
            IsOwnFolder(tmp + name) && ::lstat((tmp + name).c_str(), &st) == 0 &&
            std::time(nullptr) - st.st_mtime >= kMinAgeSeconds)
            standIns.push_back(tmp + name);
    }
    for (const std::string& folder : standIns) {
        removed += RemoveAbandonedFiles(folder, kBodyFilePrefix, kBodyFileSuffix, kMinAgeSeconds);
        (void)::rmdir(folder.c_str());  // only once empty
    }
    return removed;
}

std::string SocketPathFor(const std::string& folder, long pid) {
    return folder + "/sendfax-" + std::to_string(pid) + ".sock";
}

namespace {

// The address of a socket path; false when the path does not fit.
bool SocketAddress(const std::string& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address.sun_path)) return false;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// Writes all of text, or fails (the peer gone, or the send timed out).
bool SendAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

// One sender's connection: its descriptor, what came in of a line not yet
// ended, and what it may still send.
class WindowMessageListener::Connection final : public QObject {
  public:
    Connection(UniqueFd fd, QObject* parent)
        : QObject(parent),
          fd_(std::move(fd)),
          readable_(new QSocketNotifier(fd_.get(), QSocketNotifier::Read, this)) {
        auto* timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &Connection::Drop);
        timer->start(kConnectionTimeoutMs);
    }
    [[nodiscard]] int fd() const { return fd_.get(); }
    [[nodiscard]] QSocketNotifier* readable() const { return readable_; }
    // Stops reading and closes once control is back in the event loop.
    void Drop() {
        readable_->setEnabled(false);
        fd_.reset();
        deleteLater();
    }

    std::string pending;  // bytes after the last whole line
    int messages = 0;
    std::size_t bytes = 0;

  private:
    UniqueFd fd_;
    QSocketNotifier* readable_;
};

WindowMessageListener::WindowMessageListener(QObject* parent) : QObject(parent) {
    qRegisterMetaType<WindowMessage>();
}

WindowMessageListener::~WindowMessageListener() { Close(); }

bool WindowMessageListener::listening() const { return socket_.valid(); }

Result<> WindowMessageListener::Listen() {
    return Listen(MessageFolder(), static_cast<long>(getpid()));
}

Result<> WindowMessageListener::Listen(const std::string& folder, long pid) {
    Close();
    if (auto own = EnsurePrivateFolder(folder); !own) return own;
    std::string path = SocketPathFor(folder, pid);
    const auto fail = [&](const std::string& what) -> Result<> {
        return FromErrno(what + " " + path);
    };
    sockaddr_un address{};
    if (!SocketAddress(path, address)) {
        errno = ENAMETOOLONG;
        return fail("cannot listen on");
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) return fail("cannot make a socket for");
    // A socket left by an earlier process with the same id is nobody's now.
    (void)::unlink(path.c_str());
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
        return fail("cannot listen on");
    // The folder is the user's alone; the socket is too.
    if (::chmod(path.c_str(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd.get(), SOMAXCONN) != 0) {
        const int error = errno;
        (void)::unlink(path.c_str());
        errno = error;
        return fail("cannot listen on");
    }
    socket_ = std::move(fd);
    acceptor_ = new QSocketNotifier(socket_.get(), QSocketNotifier::Read, this);
    connect(acceptor_, &QSocketNotifier::activated, this, &WindowMessageListener::OnConnection);
    path_ = path;
    return {};
}

void WindowMessageListener::Close() {
    if (acceptor_) {
        acceptor_->setEnabled(false);
        delete acceptor_;
        acceptor_ = nullptr;
    }
    socket_.reset();
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}

void WindowMessageListener::OnConnection() {
    for (;;) {
        UniqueFd fd(::accept4(socket_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EINTR) continue;
            return;  // none waiting (or the peer left before being taken)
        }
        auto* connection = new Connection(std::move(fd), this);
        connect(connection->readable(), &QSocketNotifier::activated, this,
                [this, connection] { OnReadable(*connection); });
        OnReadable(*connection);
    }
}

void WindowMessageListener::OnReadable(Connection& connection) {
    if (connection.fd() < 0) return;
    // Read what is there, never more than a connection may send in all.
    char chunk[1024];
    for (;;) {
        const ssize_t n = ::read(connection.fd(), chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (n <= 0) {
            // The sender is done (or failed): what it sent whole is handled below.
            connection.readable()->setEnabled(false);
            break;
        }
        connection.pending.append(chunk, static_cast<std::size_t>(n));
        if (connection.pending.size() > kMaxConnectionBytes) break;
    }
    const bool ended = !connection.readable()->isEnabled();
    std::size_t at = 0;
    for (std::size_t end; (end = connection.pending.find('\n', at)) != std::string::npos;
         at = end + 1) {
        const std::string_view line(connection.pending.data() + at, end + 1 - at);
        connection.bytes += line.size();
        // A line longer than any message: the sender is not one of ours.
        if (line.size() > kMaxMessageLine + 1) return connection.Drop();
        if (auto m = ParseMessageLine(line)) {
            ++connection.messages;
            emit messageReceived(*m);
            if (answerer_ && connection.fd() >= 0) {
                const std::string answer = FormatAnswerLine(answerer_(*m));
                if (!answer.empty()) (void)SendAll(connection.fd(), answer);
            }
        }
        if (connection.messages >= kMaxMessagesPerConnection ||
            connection.bytes >= kMaxConnectionBytes)
            return connection.Drop();
    }
    connection.pending.erase(0, at);
    if (ended || connection.pending.size() > kMaxMessageLine + 1) connection.Drop();
}

namespace {

// The wizards' sockets in folder: sockets of this user named
// sendfax-<id>.sock, the longest listening first.
std::vector<std::string> WizardSockets(const std::string& folder) {
    std::vector<std::pair<timespec, std::string>> found;
    if (!IsOwnFolder(folder)) return {};
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), &closedir);
    if (!dir) return {};
    while (dirent* entry = readdir(dir.get())) {
        std::string_view name = entry->d_name;
        constexpr std::string_view prefix = "sendfax-", suffix = ".sock";
        if (name.size() <= prefix.size() + suffix.size() ||
            name.substr(0, prefix.size()) != prefix ||
            name.substr(name.size() - suffix.size()) != suffix)
            continue;
        std::string path = folder + "/" + std::string(name);
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != getuid())
            continue;
        found.emplace_back(st.st_mtim, std::move(path));
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) {
        if (a.first.tv_sec != b.first.tv_sec) return a.first.tv_sec < b.first.tv_sec;
        if (a.first.tv_nsec != b.first.tv_nsec) return a.first.tv_nsec < b.first.tv_nsec;
        return a.second < b.second;
    });
    std::vector<std::string> paths;
    for (auto& [when, path] : found) paths.push_back(std::move(path));
    return paths;
}

// Connects and sends the line; false (counted in result) when the wizard is
// gone or does not take it. Sends wait at most timeoutMs.
UniqueFd SendLine(const std::string& path, const std::string& line, int timeoutMs,
                  BroadcastResult& result) {
    sockaddr_un address{};
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd || !SocketAddress(path, address)) {
        ++result.failed;
        return {};
    }
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    (void)::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof(limit));
    int connected;
    do {
        connected =
            ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (connected != 0 && errno == EINTR);
    if (connected != 0) {
        if (errno == ECONNREFUSED || errno == ENOENT) {
            if (::unlink(path.c_str()) == 0) ++result.removedStale;
        } else {
            ++result.failed;
        }
        return {};
    }
    if (!SendAll(fd.get(), line)) {
        ++result.failed;
        return {};
    }
    ++result.delivered;
    return fd;
}

// The first line the wizard answers within timeoutMs, with its line feed;
// empty when it says nothing whole in time, closes, or says too much.
std::string ReadAnswerLine(int fd, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string got;
    for (;;) {
        if (const auto end = got.find('\n'); end != std::string::npos)
            return end <= kMaxMessageLine ? got.substr(0, end + 1) : std::string();
        if (got.size() > kMaxMessageLine) return {};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0) return {};
        pollfd wait{fd, POLLIN, 0};
        const int ready = ::poll(&wait, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return {};
        char chunk[512];
        const ssize_t n = ::read(fd, chunk, sizeof(chunk));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return {};
        got.append(chunk, static_cast<std::size_t>(n));
    }
}

}  // namespace

BroadcastResult Broadcast(const WindowMessage& message, const std::string& folder, int timeoutMs) {
    BroadcastResult result;
    const std::string line = FormatMessageLine(message);
    for (const std::string& path : WizardSockets(folder))
        (void)SendLine(path, line, timeoutMs, result);
    return result;
}

AskResult AskInTurn(const WindowMessage& message, const std::string& folder,
                    const std::function<bool(const std::string& answer)>& enough,
                    int answerTimeoutMs, int timeoutMs) {
    AskResult result;
    const std::string line = FormatMessageLine(message);
    for (const std::string& path : WizardSockets(folder)) {
        const UniqueFd socket = SendLine(path, line, timeoutMs, result);
        if (!socket) continue;
        WizardAnswer said{path, std::nullopt};
        // One line; a wizard that says nothing, or closes, is not waited for longer.
        if (const std::string got = ReadAnswerLine(socket.get(), answerTimeoutMs); !got.empty())
            said.answer = ParseAnswerLine(got);
        result.answers.push_back(said);
        if (said.answer && enough && enough(*said.answer)) break;
    }
    return result;
}
