#include "wizard/job/OutboxReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>

#include "base/FileReplace.h"

namespace {

constexpr std::size_t kMaxStateBytes = 64 * 1024;

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

bool UsableName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

}  // namespace

std::string AttachmentFileName(const std::string& path) {
    const auto cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

Result<std::string> ReadSmallFile(const std::string& path, std::size_t limit, time_t* modified) {
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return Fail(errno == ELOOP    ? "is a symbolic link"
                    : errno == ENOENT ? "is missing"
                                      : std::strerror(errno));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return Fail("is not a plain file");
    if (static_cast<std::uint64_t>(st.st_size) > limit)
        return Fail("is too large (" + std::to_string(static_cast<long long>(st.st_size)) +
                    " bytes)");
    if (modified) *modified = st.st_mtime;
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

OutboxReader::OutboxReader(std::string localFolders) : localFolders_(std::move(localFolders)) {}

std::vector<StoredFax> OutboxReader::List(std::time_t now) const {
    std::vector<StoredFax> found;
    std::unique_ptr<DIR, DirCloser> dir(::opendir(outbox().c_str()));
    if (!dir) return found;
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string name = e->d_name;
        if (UsableName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    for (const auto& name : names)
        if (auto fax = Read(name, now)) found.push_back(std::move(*fax));
    return found;
}

std::optional<StoredFax> OutboxReader::Read(const std::string& name, std::time_t now) const {
    if (!UsableName(name)) return std::nullopt;
    StoredFax fax;
    fax.name = name;
    fax.folder = outbox() + name;
    struct stat st {};
    if (::lstat(fax.folder.c_str(), &st) != 0) return std::nullopt;
    auto broken = [&fax](std::string why) {
        fax.status = StoredFax::Status::Broken;
        fax.problem = std::move(why);
        return fax;
    };
    if (S_ISLNK(st.st_mode)) return broken("is a symbolic link; left alone");
    // Plain files of the outbox are staged documents, not stored faxes.
    if (!S_ISDIR(st.st_mode)) return std::nullopt;
    const bool youngFolder = st.st_mtime > now - kWritingGraceSeconds;

    time_t modified = 0;
    const auto bytes =
        ReadSmallFile(fax.folder + "/" + kMessageFileName, kMaxMessageFileBytes, &modified);
    auto writingOr = [&](bool young, std::string problem) {
        if (!young) return broken(std::move(problem));
        fax.status = StoredFax::Status::Writing;
        fax.problem = "still being written";
        return fax;
    };
    if (!bytes)
        return writingOr(youngFolder && bytes.failure().cause == "is missing",
                         std::string(kMessageFileName) + " " + bytes.failure().cause);
    // This program's writers rename a folder into place whole, its senders'
    // record already in it; only folders written in place by others get the
    // grace.
    struct stat record {};
    const bool ours = ::lstat((fax.folder + "/" + kSendStateName).c_str(), &record) == 0 &&
                      S_ISREG(record.st_mode);
    const bool young = !ours && modified > now - kWritingGraceSeconds;
    auto message = OutboxMessage::Parse(*bytes);
    if (!message)
        return writingOr(
            young, std::string(kMessageFileName) + " is malformed: " + message.failure().cause);
    fax.message = std::move(*message);
    if (young) return writingOr(true, {});

    if (fax.message.to.find_first_not_of(" ,") == std::string::npos)
        return broken("names no recipient");
    if (fax.message.attachments.empty()) return broken("names no document");
    for (const std::string& attachment : fax.message.attachments) {
        const std::string document = AttachmentFileName(attachment);
        if (!UsableName(document) || document == kMessageFileName || document == kSendStateName)
            return broken("names no usable document");
        const std::string path = fax.folder + "/" + document;
        struct stat doc {};
        if (::lstat(path.c_str(), &doc) != 0)
            return broken("its document " + document + " is missing");
        if (!S_ISREG(doc.st_mode))
            return broken("its document " + document + " is not a plain file");
        fax.documents.push_back(path);
    }

    const auto state = ReadSmallFile(fax.folder + "/" + kSendStateName, kMaxStateBytes);
    if (state) fax.state = SendState::Parse(*state);
    fax.status = fax.state.accepted ? StoredFax::Status::Accepted : StoredFax::Status::Ready;
    fax.faxState = StateOf(fax.state, OutboxFolderBusy(fax.folder));
    return fax;
}

// Closing the last descriptor releases the lock.
OutboxLock::OutboxLock(const std::string& folder)
    : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {
    if (!fd_) return;
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) != 0) {
        fd_.reset();
        result_ = Result::Busy;
        return;
    }
    // The folder opened may have been moved away (and another made under its
    // name) before the lock was taken.
    struct stat locked {};
    struct stat there {};
    if (::fstat(fd_.get(), &locked) != 0 || ::lstat(folder.c_str(), &there) != 0 ||
        locked.st_dev != there.st_dev || locked.st_ino != there.st_ino) {
        fd_.reset();
        result_ = Result::Replaced;
        return;
    }
    result_ = Result::Held;
}

bool OutboxFolderBusy(const std::string& folder) {
    const UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    // A shared probe: it never keeps another sender's exclusive lock out for
    // longer than the call.
    return fd && ::flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

namespace {

// Rewrites an existing small file in place: no new inode and, for a record
// that fits the blocks it has, no new block.
bool RewriteInPlace(const std::string& path, std::string_view bytes) {
    const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd.get(), bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return ::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd.get()) == 0;
}

}  // namespace

bool WriteSendState(const std::string& folder, const SendState& state) {
    const std::string path = folder + "/" + kSendStateName;
    const std::string bytes = state.Render();
    if (WriteFileReplacing(path, bytes)) return SyncFolder(folder);
    return RewriteInPlace(path, bytes);
}

Result<std::string> MoveToSent(const std::string& folder, const std::string& name,
                               const std::string& sentFolder) {
    std::string sent = sentFolder;
    while (sent.size() > 1 && sent.back() == '/') sent.pop_back();
    if (::mkdir(sent.c_str(), 0700) != 0 && errno != EEXIST)
        return FromErrno("cannot make " + sent);
    struct stat st {};
    if (::lstat(sent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Fail(sent + " is not a folder");
    for (int n = 0; n < 1000; ++n) {
        const std::string target = sent + "/" + name + (n == 0 ? "" : "-" + std::to_string(n));
        // Never over an existing entry: a name already in the history stays.
        if (::renameat2(AT_FDCWD, folder.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno != EEXIST && errno != ENOTEMPTY)
            return FromErrno("cannot move " + folder + " to " + target);
    }
    return Fail("no free name for " + name + " in " + sent);
}
