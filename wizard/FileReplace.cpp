#include "wizard/FileReplace.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
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

std::string StagingPath(const std::string& folder, const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos)
        return {};
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const std::string stage = MakePrivateFolder(folder, kStagePrefix);
    return stage.empty() ? std::string() : stage + name;
}

void RemoveStaged(const std::string& path) {
    if (path.empty()) return;
    (void)::unlink(path.c_str());
    std::string folder = FolderOf(path);
    if (folder.size() < 2) return;
    folder.pop_back();
    const std::string name = folder.substr(folder.find_last_of('/') + 1);
    // rmdir leaves a folder that still holds anything.
    if (name.starts_with(kStagePrefix)) (void)::rmdir(folder.c_str());
}

bool SyncFolder(const std::string& folder) {
    UniqueFd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}

bool SyncFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    return fd && ::fsync(fd.get()) == 0;
}

bool EnsurePrivateFolder(const std::string& folder, std::string* reason) {
    auto fail = [reason](std::string why) {
        if (reason) *reason = std::move(why);
        return false;
    };
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return fail("cannot create " + folder + ": " + std::strerror(errno));
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0)
        return fail("cannot inspect " + folder + ": " + std::strerror(errno));
    if (!S_ISDIR(st.st_mode)) return fail(folder + " is not a folder");
    if (st.st_uid != ::getuid()) return fail(folder + " belongs to another user");
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0)
        return fail("cannot make " + folder + " private: " + std::strerror(errno));
    return true;
}

bool EnsurePrivateFolderPath(const std::string& folder, std::string* reason) {
    namespace fs = std::filesystem;
    const fs::path path = fs::path(folder).lexically_normal();
    fs::path parent = path.has_filename() ? path.parent_path() : path.parent_path().parent_path();
    std::vector<fs::path> missing;
    std::error_code ec;
    for (; !parent.empty() && !fs::exists(parent, ec); parent = parent.parent_path()) {
        missing.push_back(parent);
        if (parent == parent.parent_path()) break;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (::mkdir(it->c_str(), 0700) != 0 && errno != EEXIST) {
            if (reason) *reason = "cannot create " + it->string() + ": " + std::strerror(errno);
            return false;
        }
    }
    return EnsurePrivateFolder(folder, reason);
}
