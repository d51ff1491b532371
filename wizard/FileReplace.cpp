#include "wizard/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

namespace {

constexpr std::string_view kStagePrefix = ".stage-";

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    [[nodiscard]] int get() const { return fd_; }
    void Reset(int fd) {
        Close();
        fd_ = fd;
    }
    bool Close() {
        if (fd_ < 0) return true;
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

  private:
    int fd_;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
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

// A temporary file beside path, removed again unless Commit() renamed it.
class TempFile {
  public:
    TempFile(const std::string& path, FileAccess access) : target_(path) {
        const std::string folder = FolderOf(path);
        const mode_t mode = access == FileAccess::Private ? 0600 : 0666;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = folder + ".tmp-" + RandomName(6);
            const int fd =
                ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd >= 0) {
                fd_.Reset(fd);
                name_ = std::move(name);
                break;
            }
            if (errno != EEXIST) return;
        }
        if (fd_.get() < 0) return;
        // Replacing a file never makes its content more readable than it was.
        struct stat old {};
        struct stat now {};
        if (::lstat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) &&
            ::fstat(fd_.get(), &now) == 0 && (now.st_mode & ~old.st_mode & 0777) != 0)
            (void)::fchmod(fd_.get(), now.st_mode & old.st_mode & 0777);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        fd_.Close();
        if (!name_.empty()) (void)::unlink(name_.c_str());
    }
    [[nodiscard]] int fd() const { return fd_.get(); }
    [[nodiscard]] bool Commit() {
        if (name_.empty()) return false;
        if (::fsync(fd_.get()) != 0 || !fd_.Close()) return false;
        if (::rename(name_.c_str(), target_.c_str()) != 0) return false;
        name_.clear();
        return true;
    }

  private:
    std::string target_;
    std::string name_;
    Fd fd_;
};

}  // namespace

bool WriteFileReplacing(const std::string& path, std::string_view bytes, FileAccess access) {
    TempFile temp(path, access);
    if (temp.fd() < 0) return false;
    if (!WriteAll(temp.fd(), bytes.data(), bytes.size())) return false;
    return temp.Commit();
}

bool CopyFileReplacing(const std::string& from, const std::string& to, FileAccess access) {
    Fd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (source.get() < 0) return false;
    struct stat info {};
    if (::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    TempFile temp(to, access);
    if (temp.fd() < 0) return false;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const ssize_t n = ::read(source.get(), buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        if (!WriteAll(temp.fd(), buffer.data(), static_cast<std::size_t>(n))) return false;
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
    Fd fd(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.get() >= 0 && ::fsync(fd.get()) == 0;
}
