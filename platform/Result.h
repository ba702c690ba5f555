// A value or the reason there is none. Used for every failure that input can
// cause (a file, an image, a script line), so that the caller decides where
// the user sees it. Errors are plain sentences meant for people.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "platform/Precondition.h"

namespace platform {

struct Error {
    std::string message;
};

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(state_); }
    explicit operator bool() const { return ok(); }

    T& value() & {
        require(ok(), "Result::value", "the result holds an error");
        return std::get<T>(state_);
    }
    const T& value() const& {
        require(ok(), "Result::value", "the result holds an error");
        return std::get<T>(state_);
    }
    T&& value() && {
        require(ok(), "Result::value", "the result holds an error");
        return std::get<T>(std::move(state_));
    }
    const std::string& error() const {
        require(!ok(), "Result::error", "the result holds a value");
        return std::get<Error>(state_).message;
    }

private:
    std::variant<T, Error> state_;
};

// For operations that produce nothing but may fail.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error.message)), failed_(true) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const {
        require(failed_, "Result::error", "the result holds no error");
        return error_;
    }

private:
    std::string error_;
    bool failed_ = false;
};

inline Error fail(std::string message) { return Error{std::move(message)}; }

}  // namespace platform

// Hands the error of a failed Result on to the caller:
//   TRY(writeHeader(out));
//   TRY_LET(bytes, readFile(path, limit));   // then `bytes` is the value
#define TRY(expression)                                                                   \
    do {                                                                                  \
        if (auto tried_ = (expression); !tried_) return ::platform::fail(tried_.error()); \
    } while (false)
#define TRY_LET(name, expression)                                     \
    auto name##Tried_ = (expression);                                 \
    if (!name##Tried_) return ::platform::fail(name##Tried_.error()); \
    auto name = std::move(name##Tried_).value()
