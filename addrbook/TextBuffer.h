#pragma once

#include <cstddef>
#include <string_view>

// Memory for a piece of a loaded book's text, mapped whole and filled in at
// once: on a large book this costs a fraction of a string that is zeroed and
// then grown page by page. Move-only; the bytes never move while the buffer lives.
class TextBuffer {
  public:
    TextBuffer() = default;
    // size bytes, or none (valid() false) when the memory cannot be had.
    explicit TextBuffer(std::size_t size);
    TextBuffer(TextBuffer&& other) noexcept;
    TextBuffer& operator=(TextBuffer&& other) noexcept;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;
    ~TextBuffer();

    [[nodiscard]] static TextBuffer Copy(std::string_view text);

    [[nodiscard]] bool valid() const { return !failed_; }
    [[nodiscard]] char* data() { return data_; }
    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] std::string_view view() const { return {data_, size_}; }
    // Keeps the first size bytes (no more than there are).
    void Truncate(std::size_t size) { size_ = size < size_ ? size : size_; }

  private:
    void Release();

    char* data_ = nullptr;
    std::size_t size_ = 0;    // bytes in use
    std::size_t mapped_ = 0;  // bytes mapped
    bool failed_ = false;
};
