// A value or an error message: the one error channel of the core.
#pragma once

#include <string>
#include <utility>
#include <variant>

namespace qcn0 {

// Content errors are what a reader rejects (a Python ValueError); input-output errors come from
// the operating system (a Python IOError).
enum class ErrorKind { Content, InputOutput };

struct Error {
    std::string message;
    ErrorKind kind = ErrorKind::Content;
};

template <typename T>
class Expected {
public:
    Expected(T value) : data_(std::move(value)) {}
    Expected(Error error) : data_(std::move(error)) {}

    bool ok() const { return data_.index() == 0; }
    explicit operator bool() const { return ok(); }

    T& value() & { return std::get<0>(data_); }
    const T& value() const& { return std::get<0>(data_); }
    T&& value() && { return std::get<0>(std::move(data_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    const std::string& error() const { return std::get<1>(data_).message; }
    ErrorKind error_kind() const { return std::get<1>(data_).kind; }
    const Error& failure() const { return std::get<1>(data_); }

private:
    std::variant<T, Error> data_;
};

}  // namespace qcn0
