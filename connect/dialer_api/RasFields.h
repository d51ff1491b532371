#pragma once

#include <cstddef>
#include <cstring>
#include <string>

// The fixed-size text fields of the remote access records: a text is copied
// in cut to fit with its terminating NUL, and read out up to its NUL or the
// field's end.
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    const std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

template <std::size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, ::strnlen(field, N));
}
