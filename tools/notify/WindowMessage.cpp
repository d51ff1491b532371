#include "tools/notify/WindowMessage.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QVariant>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "wizard/FileReplace.h"
#include "wizard/Text.h"

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

WindowMessageListener::WindowMessageListener(QObject* parent)
    : QObject(parent), server_(new QLocalServer(this)) {
    qRegisterMetaType<WindowMessage>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &WindowMessageListener::OnConnection);
}

WindowMessageListener::~WindowMessageListener() { Close(); }

bool WindowMessageListener::listening() const { return server_->isListening(); }

Result<> WindowMessageListener::Listen() {
    return Listen(MessageFolder(), static_cast<long>(getpid()));
}

Result<> WindowMessageListener::Listen(const std::string& folder, long pid) {
    Close();
    if (auto own = EnsurePrivateFolder(folder); !own) return own;
    std::string path = SocketPathFor(folder, pid);
    // A socket left by an earlier process with the same id is nobody's now.
    QLocalServer::removeServer(QString::fromStdString(path));
    if (!server_->listen(QString::fromStdString(path)))
        return Fail(server_->errorString().toStdString());
    path_ = path;
    return {};
}

void WindowMessageListener::Close() {
    if (server_->isListening()) server_->close();
    if (!path_.empty()) {
        ::unlink(path_.c_str());
        path_.clear();
    }
}

void WindowMessageListener::OnConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        socket->setParent(this);
        socket->setReadBufferSize(static_cast<qint64>(kMaxConnectionBytes));
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, &QLocalSocket::abort);
        timer->start(kConnectionTimeoutMs);
        socket->setProperty("messages", 0);
        socket->setProperty("bytes", 0);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadable(socket); });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (socket->bytesAvailable() > 0) OnReadable(socket);
    }
}

void WindowMessageListener::OnReadable(QLocalSocket* socket) {
    int messages = socket->property("messages").toInt();
    qint64 bytes = socket->property("bytes").toLongLong();
    while (socket->canReadLine()) {
        QByteArray line = socket->readLine(static_cast<qint64>(kMaxMessageLine) + 2);
        bytes += line.size();
        if (!line.endsWith('\n')) {
            // A line longer than any message: the sender is not one of ours.
            socket->abort();
            return;
        }
        if (auto m = ParseMessageLine(std::string_view(line.constData(), line.size()))) {
            ++messages;
            emit messageReceived(*m);
            if (answerer_) {
                const std::string answer = FormatAnswerLine(answerer_(*m));
                if (!answer.empty() && socket->state() == QLocalSocket::ConnectedState) {
                    socket->write(answer.data(), static_cast<qint64>(answer.size()));
                    socket->flush();
                }
            }
        }
        if (messages >= kMaxMessagesPerConnection ||
            bytes >= static_cast<qint64>(kMaxConnectionBytes)) {
            socket->abort();
            return;
        }
    }
    if (socket->bytesAvailable() > static_cast<qint64>(kMaxMessageLine) + 1) {
        socket->abort();
        return;
    }
    socket->setProperty("messages", messages);
    socket->setProperty("bytes", bytes);
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
// gone or does not take it.
bool SendLine(QLocalSocket& socket, const std::string& path, const std::string& line, int timeoutMs,
              BroadcastResult& result) {
    socket.connectToServer(QString::fromStdString(path));
    if (!socket.waitForConnected(timeoutMs)) {
        auto error = socket.error();
        if (error == QLocalSocket::ConnectionRefusedError ||
            error == QLocalSocket::ServerNotFoundError) {
            if (::unlink(path.c_str()) == 0) ++result.removedStale;
        } else {
            ++result.failed;
        }
        return false;
    }
    socket.write(line.data(), static_cast<qint64>(line.size()));
    if (!socket.waitForBytesWritten(timeoutMs) && socket.bytesToWrite() != 0) {
        ++result.failed;
        return false;
    }
    ++result.delivered;
    return true;
}

void Hangup(QLocalSocket& socket, int timeoutMs) {
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(timeoutMs);
}

}  // namespace

BroadcastResult Broadcast(const WindowMessage& message, const std::string& folder, int timeoutMs) {
    BroadcastResult result;
    const std::string line = FormatMessageLine(message);
    for (const std::string& path : WizardSockets(folder)) {
        QLocalSocket socket;
        if (SendLine(socket, path, line, timeoutMs, result)) Hangup(socket, timeoutMs);
    }
    return result;
}

AskResult AskInTurn(const WindowMessage& message, const std::string& folder,
                    const std::function<bool(const std::string& answer)>& enough,
                    int answerTimeoutMs, int timeoutMs) {
    AskResult result;
    const std::string line = FormatMessageLine(message);
    for (const std::string& path : WizardSockets(folder)) {
        QLocalSocket socket;
        if (!SendLine(socket, path, line, timeoutMs, result)) continue;
        WizardAnswer said{path, std::nullopt};
        QElapsedTimer clock;
        clock.start();
        // One line; a wizard that says nothing, or closes, is not waited for longer.
        while (!socket.canReadLine() && socket.state() == QLocalSocket::ConnectedState &&
               socket.bytesAvailable() <= static_cast<qint64>(kMaxMessageLine)) {
            const qint64 left = answerTimeoutMs - clock.elapsed();
            if (left <= 0 || !socket.waitForReadyRead(static_cast<int>(left))) break;
        }
        if (socket.canReadLine()) {
            const QByteArray got = socket.readLine(static_cast<qint64>(kMaxMessageLine) + 2);
            said.answer = ParseAnswerLine(std::string_view(got.constData(), got.size()));
        }
        Hangup(socket, timeoutMs);
        result.answers.push_back(said);
        if (said.answer && enough && enough(*said.answer)) break;
    }
    return result;
}
