#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

// The HTTP layer's own failure: thrown and caught inside the request worker
// only, never seen by callers of HttpRequest. The code is a libcurl result
// code, or the HTTP status of a reply other than 200.
class CQrvHTTPException : public std::runtime_error {
  public:
    explicit CQrvHTTPException(std::int32_t code = 0, const std::string& what = {})
        : std::runtime_error(what), code_(code) {}
    [[nodiscard]] std::int32_t code() const noexcept { return code_; }

  private:
    std::int32_t code_;
};
