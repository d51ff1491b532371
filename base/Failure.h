#pragma once
// The one way the program's own interfaces report a failure: a Result holds
// either the value asked for or a Failure, which carries the technical cause
// (for standard error, logs and a box's details) and, where the callee can
// word it, the sentence the user reads. No exceptions.

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>

struct Failure {
    std::string cause;     // technical: "open /x/y: No such file or directory"
    std::string sentence;  // plain words for the user; empty when the caller words it

    // What a user is shown when the caller adds no words: the sentence, else
    // the cause.
    [[nodiscard]] const std::string& text() const { return sentence.empty() ? cause : sentence; }
};

// A Failure of cause, with the user's sentence when given.
[[nodiscard]] inline Failure Fail(std::string cause, std::string sentence = {}) {
    return Failure{std::move(cause), std::move(sentence)};
}

// "what: strerror(errno)", read at the call, so call it right after the
// failing system call.
[[nodiscard]] inline Failure FromErrno(const std::string& what) {
    const int error = errno;
    return Failure{what + ": " + std::strerror(error), {}};
}

// The value of a call that worked, or why it did not.
template <class T = void>
class [[nodiscard]] Result {
  public:
    // Implicit: a function returns its value, or a Failure, as it is.
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : failure_(std::move(failure)) {}

    [[nodiscard]] bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    // Only when ok().
    [[nodiscard]] T& value() & { return *value_; }
    [[nodiscard]] const T& value() const& { return *value_; }
    [[nodiscard]] T&& value() && { return std::move(*value_); }
    [[nodiscard]] T& operator*() & { return *value_; }
    [[nodiscard]] const T& operator*() const& { return *value_; }
    [[nodiscard]] T* operator->() { return &*value_; }
    [[nodiscard]] const T* operator->() const { return &*value_; }
    [[nodiscard]] T value_or(T fallback) const& { return value_ ? *value_ : fallback; }
    // Empty when ok().
    [[nodiscard]] const Failure& failure() const { return failure_; }

  private:
    std::optional<T> value_;
    Failure failure_;
};

template <>
class [[nodiscard]] Result<void> {
  public:
    Result() = default;
    Result(Failure failure) : ok_(false), failure_(std::move(failure)) {}

    [[nodiscard]] bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    [[nodiscard]] const Failure& failure() const { return failure_; }

  private:
    bool ok_ = true;
    Failure failure_;
};
