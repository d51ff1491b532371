#include "addrbook/TextBuffer.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

TextBuffer::TextBuffer(std::size_t size) {
    if (size == 0) return;
    // Populated in one call: each page touched on its own costs far more.
    void* p = ::mmap(nullptr, size, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    if (p == MAP_FAILED) {
        failed_ = true;
        return;
    }
    data_ = static_cast<char*>(p);
    size_ = mapped_ = size;
}

TextBuffer::TextBuffer(TextBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)),
      failed_(std::exchange(other.failed_, false)) {}

TextBuffer& TextBuffer::operator=(TextBuffer&& other) noexcept {
    if (this != &other) {
        Release();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
        failed_ = std::exchange(other.failed_, false);
    }
    return *this;
}

TextBuffer::~TextBuffer() { Release(); }

void TextBuffer::Release() {
    if (data_ != nullptr) ::munmap(data_, mapped_);
    data_ = nullptr;
    size_ = mapped_ = 0;
}

TextBuffer TextBuffer::Copy(std::string_view text) {
    TextBuffer copy(text.size());
    if (copy.data_ != nullptr) std::memcpy(copy.data_, text.data(), text.size());
    return copy;
}

TextBuffer TextBuffer::ReadFile(int fd) {
    auto failed = [] {
        TextBuffer none;
        none.failed_ = true;
        return none;
    };
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return failed();
    TextBuffer text(static_cast<std::size_t>(info.st_size));
    if (!text.valid()) return failed();
    std::size_t got = 0;
    while (got < text.size_) {
        const ssize_t n = ::read(fd, text.data_ + got, text.size_ - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed();
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    text.size_ = got;  // shrunk while being read
    // Grown while being read: the rest is read as well.
    std::string rest;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return failed();
        if (n == 0) break;
        rest.append(chunk, static_cast<std::size_t>(n));
    }
    if (rest.empty()) return text;
    TextBuffer whole(got + rest.size());
    if (!whole.valid()) return failed();
    std::memcpy(whole.data_, text.data_, got);
    std::memcpy(whole.data_ + got, rest.data(), rest.size());
    return whole;
}
