// Results without exceptions: a value, or the English sentence that says why
// there is none. Every reader of hostile input (executables, icon files)
// answers with one of these.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kite::brand {

struct Error {
    std::string message;
};

inline Error fail(std::string message) {
    return Error{std::move(message)};
}

template <typename T>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Error error) : error_(std::move(error.message)) {}

    bool ok() const { return value_.has_value(); }
    const std::string& error() const { return error_; }

    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }

private:
    std::optional<T> value_;
    std::string error_;
};

struct Done {};
using Status = Result<Done>;

}  // namespace kite::brand
