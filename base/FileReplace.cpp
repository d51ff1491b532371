#include "base/FileReplace.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

namespace {

constexpr std::string_view kStagePrefix = ".stage-";

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string RandomName(std::size_t length) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string name;
    for (std::size_t i = 0; i < length; ++i) name += kLetters[pick(random)];
    return name;
}

}  // namespace

bool WriteAll(int fd, std::string_view bytes) {
    const char* data = bytes.data();
    std::size_t size = bytes.size();
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

ReplacementFile::ReplacementFile(std::string path, FileAccess access) : target_(std::move(path)) {
    const std::string folder = FolderOf(target_);
    const mode_t mode = access == FileAccess::Private ? 0600 : 0666;
    for (int attempt = 0; attempt < 100 && !fd_; ++attempt) {
        std::string name = folder + ".tmp-" + RandomName(6);
        fd_.reset(::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        if (fd_)
            name_ = std::move(name);
        else if (errno != EEXIST)
            return;
    }
    if (!fd_) return;
    // Replacing a file never makes its content more readable than it was,
    // unless its modes are to be kept.
    struct stat old {};
    struct stat now {};
    if (::lstat(target_.c_str(), &old) != 0 || !S_ISREG(old.st_mode) ||
        ::fstat(fd_.get(), &now) != 0)
        return;
    const mode_t want =
        access == FileAccess::Kept ? old.st_mode & 07777 : now.st_mode & old.st_mode & 0777;
    if (want != (now.st_mode & 07777)) (void)::fchmod(fd_.get(), want);
}

ReplacementFile::~ReplacementFile() {
    const int saved = errno;
    (void)fd_.Close();
    if (!name_.empty()) (void)::unlink(name_.c_str());
    errno = saved;
}

bool ReplacementFile::Commit() {
    if (!fd_ || name_.empty()) return false;
    if (::fsync(fd_.get()) != 0) {
        const int error = errno;
        (void)fd_.Close();
        errno = error;
        return false;
    }
    if (!fd_.Close()) return false;
    if (::rename(name_.c_str(), target_.c_str()) != 0) return false;
    name_.clear();
    return true;
}

ScratchFile::ScratchFile(const std::string& prefix, std::string_view suffix) {
    std::string pattern = prefix + "XXXXXX";
    pattern += suffix;
    fd_.reset(::mkostemps(pattern.data(), static_cast<int>(suffix.size()), O_CLOEXEC));
    if (!fd_) return;
    path_ = std::move(pattern);
    (void)::flock(fd_.get(), LOCK_EX | LOCK_NB);
}

int ScratchFile::Release() { return fd_ ? ::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0) : -1; }

int RemoveAbandonedFiles(const std::string& folder, std::string_view prefix,
                         std::string_view suffix, long minAgeSeconds) {
    std::error_code ec;
    int removed = 0;
    const std::time_t now = std::time(nullptr);
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() < prefix.size() + suffix.size() || !name.starts_with(prefix) ||
            !name.ends_with(suffix))
            continue;
        const std::string path = it->path().string();
        const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        struct stat st {};
        if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid() ||
            now - st.st_mtime < minAgeSeconds)
            continue;
        // A writer that is still there holds its lock.
        if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
        if (::unlink(path.c_str()) == 0) ++removed;
    }
    return removed;
}

ScratchFile::~ScratchFile() {
    const int saved = errno;
    (void)fd_.Close();
    if (!path_.empty()) (void)::unlink(path_.c_str());
    errno = saved;
}

bool WriteFileReplacing(const std::string& path, std::string_view bytes, FileAccess access) {
    ReplacementFile temp(path, access);
    if (temp.fd() < 0) return false;
    if (!WriteAll(temp.fd(), bytes)) return false;
    return temp.Commit();
}

bool CopyFileReplacing(const std::string& from, const std::string& to, FileAccess access) {
    UniqueFd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (source.get() < 0) return false;
    struct stat info {};
    if (::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    ReplacementFile temp(to, access);
    if (temp.fd() < 0) return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = ::read(source.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        if (!WriteAll(temp.fd(), std::string_view(buffer.data(), static_cast<std::size_t>(n))))
            return false;
    }
    return temp.Commit();
}

std::string MakePrivateFolder(const std::string& parent, std::string_view prefix) {
    std::string pattern = parent;
    if (!pattern.empty() && pattern.back() != '/') pattern += '/';
    pattern += prefix;
    pattern += "XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()) == nullptr) return {};
    return std::string(buffer.data()) + "/";
}

namespace {

// The staging folders this process holds, each with its locked lock file.
// Workers stage and remove files too, hence the mutex.
struct HeldStages {
    std::mutex mutex;
    std::map<std::string, UniqueFd> locks;  // folder path without its "/"
};

HeldStages& Held() {
    static HeldStages held;
    return held;
}

// Locks a new staging folder: the lock file is made and locked under a name
// of its own first and only then linked in as kStageLockName, so a lock file
// that others find is always locked while its owner lives.
UniqueFd LockStage(const std::string& stage) {
    const std::string fresh = stage + ".lock-new";
    UniqueFd fd(::open(fresh.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return fd;
    const bool locked = ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
                        ::link(fresh.c_str(), (stage + std::string(kStageLockName)).c_str()) == 0;
    (void)::unlink(fresh.c_str());
    if (!locked) fd.reset();
    return fd;
}

// The names in the folder open as dir, "." and ".." left out; nullopt when
// it cannot be listed. Read through a copy of the descriptor, which shares
// its place in the listing with dir: put back at the start afterwards.
std::optional<std::vector<std::string>> NamesIn(int dir) {
    UniqueFd copy(::fcntl(dir, F_DUPFD_CLOEXEC, 0));
    DIR* listing = copy ? ::fdopendir(copy.get()) : nullptr;
    if (listing == nullptr) return std::nullopt;
    (void)copy.release();  // closedir closes it
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    ::rewinddir(listing);
    ::closedir(listing);
    return names;
}

// Removes everything inside the folder open as dir, never following a link;
// false when something could not be removed.
bool EmptyFolder(int dir) {
    const auto names = NamesIn(dir);
    if (!names) return false;
    bool all = true;
    for (const std::string& name : *names) {
        if (::unlinkat(dir, name.c_str(), 0) == 0 || errno == ENOENT) continue;
        if (errno != EISDIR && errno != EPERM) {
            all = false;
            continue;
        }
        const UniqueFd inner(
            ::openat(dir, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        all = inner && EmptyFolder(inner.get()) &&
              ::unlinkat(dir, name.c_str(), AT_REMOVEDIR) == 0 && all;
    }
    return all;
}

// True when the folder holds nothing but its lock file.
bool OnlyLockLeft(const std::string& stage) {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(stage, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().filename() != kStageLockName) return false;
    return !ec;
}

}  // namespace

std::string StagingPath(const std::string& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
        name == kStageLockName)
        return {};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string stage = MakePrivateFolder(folder, kStagePrefix);
    if (stage.empty()) return {};
    UniqueFd lock = LockStage(stage);
    if (!lock) {
        (void)::rmdir(stage.c_str());
        return {};
    }
    HeldStages& held = Held();
    const std::lock_guard guard(held.mutex);
    held.locks[stage.substr(0, stage.size() - 1)] = std::move(lock);
    return stage + name;
}

void RemoveStaged(const std::string& path) {
    if (path.empty()) return;
    (void)::unlink(path.c_str());
    std::string folder = FolderOf(path);
    if (folder.size() < 2) return;
    folder.pop_back();
    const std::string name = folder.substr(folder.find_last_of('/') + 1);
    if (!name.starts_with(kStagePrefix)) return;
    HeldStages& held = Held();
    const std::lock_guard guard(held.mutex);
    const auto it = held.locks.find(folder);
    // A folder of another run (or an older one without a lock file) goes only
    // when it is empty; rmdir leaves a folder that still holds anything.
    if (it == held.locks.end()) {
        (void)::rmdir(folder.c_str());
        return;
    }
    if (!OnlyLockLeft(folder)) return;
    (void)::unlink((folder + "/" + std::string(kStageLockName)).c_str());
    if (::rmdir(folder.c_str()) == 0) held.locks.erase(it);
}

bool HeldStaged(const std::string& path) {
    std::string folder = FolderOf(path);
    if (folder.size() < 2) return false;
    folder.pop_back();
    HeldStages& held = Held();
    const std::lock_guard guard(held.mutex);
    return held.locks.contains(folder);
}

namespace {

// Moves the documents a run left in its staging folder (its regular files,
// the lock file aside) into recovered, under names no file there has yet.
// False when one of them could not be moved: the folder is then left as is.
bool RecoverDocuments(int stage, const std::string& recovered) {
    const auto listed = NamesIn(stage);
    if (!listed) return false;
    std::vector<std::string> names;
    for (const std::string& name : *listed) {
        struct stat st {};
        if (name == kStageLockName ||
            ::fstatat(stage, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_size == 0)
            continue;
        names.push_back(name);
    }
    if (names.empty()) return true;
    if (!EnsurePrivateFolder(recovered)) return false;
    const UniqueFd target(
        ::open(recovered.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!target) return false;
    for (const std::string& name : names) {
        bool moved = false;
        for (int n = 0; !moved && n < 1000; ++n) {
            const std::string as = n == 0 ? name : std::to_string(n) + "-" + name;
            if (::renameat2(stage, name.c_str(), target.get(), as.c_str(), RENAME_NOREPLACE) == 0)
                moved = true;
            else if (errno != EEXIST)
                return false;
        }
        if (!moved) return false;
    }
    (void)::fsync(target.get());
    return true;
}

}  // namespace

int RemoveAbandonedStaging(const std::string& folder, const std::string& recovered,
                           long unlockedAgeSeconds) {
    const UniqueFd parent(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent) return 0;
    std::vector<std::string> stages;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.starts_with(kStagePrefix)) stages.push_back(name);
    }
    const std::time_t now = std::time(nullptr);
    int removed = 0;
    for (const std::string& name : stages) {
        // Only a real folder of the user's: a link in its place is passed by.
        const UniqueFd stage(
            ::openat(parent.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (!stage || ::fstat(stage.get(), &st) != 0 || st.st_uid != ::getuid()) continue;
        const UniqueFd lock(::openat(stage.get(), std::string(kStageLockName).c_str(),
                                     O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
        struct stat lockInfo {};
        const bool lockable =
            lock && ::fstat(lock.get(), &lockInfo) == 0 && S_ISREG(lockInfo.st_mode);
        if (lockable) {
            // A run that still lives holds it, whatever its age.
            if (::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) continue;
        } else if (now - st.st_mtime < unlockedAgeSeconds) {
            continue;
        }
        // What the user printed or composed is kept, never cleared away.
        if (!recovered.empty() && !RecoverDocuments(stage.get(), recovered)) continue;
        if (EmptyFolder(stage.get()) && ::unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR) == 0)
            ++removed;
    }
    return removed;
}

bool SyncFolder(const std::string& folder) {
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

bool SyncFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    return fd && ::fsync(fd.get()) == 0;
}

Result<> EnsurePrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return FromErrno("cannot create " + folder);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) return FromErrno("cannot inspect " + folder);
    if (!S_ISDIR(st.st_mode)) return Fail(folder + " is not a folder");
    if (st.st_uid != ::getuid()) return Fail(folder + " belongs to another user");
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return FromErrno("cannot make " + folder + " private");
    return {};
}

Result<> EnsurePrivateFolderPath(const std::string& folder) {
    namespace fs = std::filesystem;
    const fs::path path = fs::path(folder).lexically_normal();
    fs::path parent = path.has_filename() ? path.parent_path() : path.parent_path().parent_path();
    std::vector<fs::path> missing;
    std::error_code ec;
    for (; !parent.empty() && !fs::exists(parent, ec); parent = parent.parent_path()) {
        missing.push_back(parent);
        if (parent == parent.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it)
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST)
            return FromErrno("cannot create " + it->string());
    return EnsurePrivateFolder(folder);
}
