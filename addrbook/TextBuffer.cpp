#include "addrbook/TextBuffer.h"

#include <sys/mman.h>

#include <cstring>
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
