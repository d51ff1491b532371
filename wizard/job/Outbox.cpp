#include "wizard/job/Outbox.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>
#include <utility>
#include <vector>

#include "base/FileReplace.h"
#include "wizard/job/FaxState.h"
#include "wizard/job/OutboxMessage.h"

namespace fs = std::filesystem;

namespace {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name that can be created inside the message folder and written on one
// line of the message file.
std::string StoredName(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20) c = '_';
    return name;
}

// Sum of the lengths of the plain files in folder (32 bits, as stored).
std::int32_t FolderSize(const std::string& folder) {
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        // The senders' record is not part of the message.
        if (it->is_directory(entryError) || it->path().filename() == kSendStateName) continue;
        const auto length = it->file_size(entryError);
        if (!entryError) total += length;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(total > kMax ? kMax : total);
}

// Renames the folder from to to unless to exists. Where the file system
// cannot refuse to replace, the name is first claimed with an empty folder
// of our own. False with errno EEXIST when to is taken.
bool RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    if (::mkdir(to.c_str(), 0700) != 0) return false;
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    const int error = errno;
    (void)::rmdir(to.c_str());
    errno = error;
    return false;
}

// One message being stored: built in a hidden folder of its own inside the
// outbox (which the outbox sender passes over), then renamed to its "dir"
// name in one step. Should the run fail, it removes only the files it made
// and the folder when that is then empty; a leftover folder that holds
// anything else (after a crash, or from another program) is never deleted
// here, so a document in it is not lost.
class PendingMessage {
  public:
    PendingMessage(const std::string& outbox, const std::string& history,
                   const OutboxMessage& message)
        : record(message), outbox_(outbox), history_(history) {}
    PendingMessage(const PendingMessage&) = delete;
    PendingMessage& operator=(const PendingMessage&) = delete;
    PendingMessage(PendingMessage&& other) noexcept
        : record(std::move(other.record)),
          outbox_(std::move(other.outbox_)),
          history_(std::move(other.history_)),
          partial_(std::exchange(other.partial_, std::string())),
          documents_(std::move(other.documents_)),
          final_(std::move(other.final_)) {}
    ~PendingMessage() {
        if (partial_.empty()) return;
        for (const std::string& document : documents_)
            (void)::unlink((partial_ + document).c_str());
        (void)::unlink((partial_ + kMessageFile).c_str());
        if (stateWritten_) (void)::unlink((partial_ + kSendStateName).c_str());
        (void)::rmdir(partial_.c_str());
    }

    // Copies the documents, each under its stored name, and writes the
    // senders' record (state, or a new one); the message file follows at
    // Publish.
    [[nodiscard]] bool Build(const std::vector<std::string>& documentPaths,
                             const std::vector<std::string>& storedNames, const SendState* state,
                             const std::function<void()>& afterEachDocument) {
        partial_ = MakePrivateFolder(outbox_, ".partial-");
        if (partial_.empty()) return false;
        for (std::size_t i = 0; i < documentPaths.size(); ++i) {
            documents_.push_back(storedNames[i]);
            if (!CopyFileReplacing(documentPaths[i], partial_ + storedNames[i],
                                   FileAccess::Private))
                return false;
            if (afterEachDocument) afterEachDocument();
        }
        // The senders' record marks the folder as whole once it is in place.
        stateWritten_ = true;
        return WriteFileReplacing(partial_ + kSendStateName,
                                  state ? state->Render() : SendState{}.Render());
    }

    // Gives the message the folder name dir, or the next free second after
    // it; an existing folder is never replaced. dir is left at the name used.
    [[nodiscard]] bool Publish(std::time_t& dir) {
        for (int attempt = 0; attempt < 1000; ++attempt, ++dir) {
            const std::string name = std::to_string(static_cast<long long>(dir));
            // A name still in the history may belong to a folder that a sender
            // has open (or locked) under its old place: never reused.
            struct stat sent {};
            if (!history_.empty() && ::lstat((history_ + name).c_str(), &sent) == 0) continue;
            if (!Write(name) || !SyncFolder(partial_)) return false;
            std::string from = partial_;
            from.pop_back();
            const std::string to = outbox_ + name;
            if (RenameNoReplace(from, to)) {
                final_ = to;
                partial_.clear();
                return true;
            }
            if (errno != EEXIST && errno != ENOTEMPTY) return false;
        }
        return false;
    }

    [[nodiscard]] const std::string& folder() const { return final_; }

    OutboxMessage record;

  private:
    static constexpr const char* kMessageFile = "msg.qvm";

    // The message file for the folder name dir: first with size 0, then
    // with the size of the document and that first file.
    [[nodiscard]] bool Write(const std::string& dir) {
        if (record.dir == dir) return true;
        record.dir = dir;
        record.size = 0;
        record.attachments.clear();
        for (const std::string& document : documents_)
            record.attachments.push_back(outbox_ + dir + "/" + document);
        const std::string file = partial_ + kMessageFile;
        const auto first = record.Render();
        if (!first || !WriteFileReplacing(file, *first, FileAccess::Private)) return false;
        record.size = FolderSize(partial_);
        const auto bytes = record.Render();
        return bytes && WriteFileReplacing(file, *bytes, FileAccess::Private);
    }

    std::string outbox_;
    std::string history_;
    std::string partial_;
    bool stateWritten_ = false;
    std::vector<std::string> documents_;
    std::string final_;
};

}  // namespace

std::string StageAttachment(const std::string& localFolders, const std::string& attachedPath,
                            const std::string& storedName) {
    const std::string name = storedName.empty() ? FileNameOf(attachedPath) : storedName;
    std::string copy = StagingPath(localFolders + "outbox/", name);
    if (copy.empty()) return {};
    if (!CopyFileReplacing(attachedPath, copy, FileAccess::Private)) {
        RemoveStaged(copy);
        return {};
    }
    return copy;
}

Result<std::string> SaveToOutbox(const std::string& localFolders, const std::string& folderName,
                                 const FaxMessage& message, const Clock& clock,
                                 std::string_view gatewayDomain, const SendState* state,
                                 const std::function<void()>& afterEachDocument) {
    OutboxMessage record;
    record.from = message.from;
    record.cc = message.cc;
    record.bcc = message.bcc;
    record.subject = message.subject;
    record.body = message.body;

    const std::time_t now = clock.Now();
    std::tm local{};
    if (!localtime_r(&now, &local)) return Fail("the time of storing cannot be read");
    record.year = local.tm_year + 1900;
    record.month = local.tm_mon + 1;
    record.day = local.tm_mday;
    record.hour = local.tm_hour;
    record.minute = local.tm_min;
    record.second = local.tm_sec;
    record.msgtype = 1;

    // A "to:" line too long for the message file stores the fax as several
    // messages, each with recipients that fit and a copy of the document.
    const auto lines = SplitRecipientLine(FaxNumbersToAddresses(message.to, gatewayDomain),
                                          OutboxMessage::kMaxLineBytes - sizeof "to: \n");
    if (!lines) return Fail("a recipient is too long for a line of the message file");
    // A header that cannot be stored fails before anything is made on disk.
    for (const std::string& to : *lines) {
        record.to = to;
        if (!record.Render()) return Fail("a header is too long for a line of the message file");
    }

    const std::string outbox = localFolders + folderName + "/";
    std::error_code ec;
    fs::create_directories(outbox, ec);

    // Documents without a usable file name (an empty path, a folder's "."
    // or "..") are not attached; the others lie side by side under names of
    // their own, none of them the message file's or the senders' record's.
    std::vector<std::string> documents, own;
    for (const std::string& path : message.Documents()) {
        const std::string name = FileNameOf(path);
        if (name.empty() || name == "." || name == "..") continue;
        documents.push_back(path);
        own.push_back(StoredName(name));
    }
    const std::vector<std::string> names = DistinctFileNames(own, {"msg.qvm", kSendStateName});
    // Every message is complete in its hidden folder before any is shown, so
    // a failure stores none of them and the documents stay where they were.
    std::vector<PendingMessage> pending;
    pending.reserve(lines->size());
    for (const std::string& to : *lines) {
        PendingMessage& next = pending.emplace_back(outbox, localFolders + "sent/", record);
        next.record.to = to;
        if (!next.Build(documents, names, state, afterEachDocument))
            return FromErrno("cannot store the fax in " + outbox);
    }
    std::vector<std::string> stored;
    std::time_t dir = now;
    for (PendingMessage& next : pending) {
        if (!next.Publish(dir)) return FromErrno("cannot store the fax in " + outbox);
        stored.push_back(next.folder());
        ++dir;
    }
    (void)SyncFolder(outbox);
    for (const std::string& document : documents) {
        RemoveStaged(document);
        if (afterEachDocument) afterEachDocument();
    }
    return stored.front();
}

std::optional<std::vector<std::string>> SplitRecipientLine(const std::string& line,
                                                           std::size_t maxBytes) {
    if (line.size() <= maxBytes) return std::vector<std::string>{line};
    // Entries end at a comma outside quotes and angle brackets; each part
    // keeps the separators as they were inside it.
    std::vector<std::pair<std::size_t, std::size_t>> entries;
    bool quoted = false;
    int angle = 0;
    std::size_t begin = 0;
    for (std::size_t i = 0; i <= line.size(); ++i) {
        const char c = i < line.size() ? line[i] : ',';
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '<') ++angle;
        if (c == '>' && angle > 0) --angle;
        if (c != ',' || (angle > 0 && i < line.size())) continue;
        std::size_t first = line.find_first_not_of(' ', begin);
        if (first != std::string::npos && first < i) entries.emplace_back(first, i);
        begin = i + 1;
    }
    std::vector<std::string> parts;
    std::size_t from = std::string::npos, to = 0;
    for (const auto& [first, end] : entries) {
        if (end - first > maxBytes) return std::nullopt;
        if (from != std::string::npos && end - from > maxBytes) {
            parts.push_back(line.substr(from, to - from));
            from = std::string::npos;
        }
        if (from == std::string::npos) from = first;
        to = end;
    }
    if (from != std::string::npos) parts.push_back(line.substr(from, to - from));
    return parts;
}
