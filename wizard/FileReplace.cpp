#include "wizard/FileReplace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace {

class Fd {
  public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    [[nodiscard]] int get() const { return fd_; }
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

// A temporary file beside path, removed again unless Commit() renamed it.
class TempFile {
  public:
    explicit TempFile(const std::string& path) : target_(path), fd_(Create(path, name_)) {
        // mkstemp makes the file 0600; the product's other programs read it.
        if (fd_.get() >= 0) (void)::fchmod(fd_.get(), 0644);
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
    static int Create(const std::string& path, std::string& name) {
        std::string pattern = FolderOf(path) + ".tmp-XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        const int fd = ::mkstemp(buffer.data());
        if (fd >= 0) name = buffer.data();
        return fd;
    }

    std::string target_;
    std::string name_;
    Fd fd_;
};

}  // namespace

bool WriteFileReplacing(const std::string& path, std::string_view bytes) {
    TempFile temp(path);
    if (temp.fd() < 0) return false;
    if (!WriteAll(temp.fd(), bytes.data(), bytes.size())) return false;
    return temp.Commit();
}

bool CopyFileReplacing(const std::string& from, const std::string& to) {
    Fd source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (source.get() < 0) return false;
    struct stat info {};
    if (::fstat(source.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    TempFile temp(to);
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
