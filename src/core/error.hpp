// Failures as values.
//
// An operation that can fail because of its input returns Result<T>: either
// the value or an Error (a kind and its text). The binding turns the Error
// into the matching Python exception; nothing in the core knows Python.
#pragma once

#include <string>
#include <utility>
#include <variant>

#include "core/fault.hpp"

namespace velmarin {

enum class ErrorKind { Value, Index };

struct Error {
    ErrorKind kind;
    std::string text;
};

inline Error value_error(std::string text) { return {ErrorKind::Value, std::move(text)}; }
inline Error index_error(std::string text) { return {ErrorKind::Index, std::move(text)}; }

template <class T>
class [[nodiscard]] Result {
public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return state_.index() == 0; }

    T& value() & { return std::get<0>(checked_state()); }
    const T& value() const& { return std::get<0>(checked_state()); }
    T&& value() && { return std::get<0>(std::move(checked_state())); }

    const Error& error() const {
        check(!ok(), "Result::error() read on a success");
        return std::get<1>(state_);
    }

private:
    std::variant<T, Error>& checked_state() {
        check(ok(), "Result::value() read on a failure");
        return state_;
    }
    const std::variant<T, Error>& checked_state() const {
        check(ok(), "Result::value() read on a failure");
        return state_;
    }

    std::variant<T, Error> state_;
};

// The result of an operation that yields nothing but may fail.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Error error) : error_(std::move(error)), failed_(true) {}

    bool ok() const noexcept { return !failed_; }
    const Error& error() const {
        check(failed_, "Result::error() read on a success");
        return error_;
    }

private:
    Error error_{};
    bool failed_ = false;
};

}  // namespace velmarin
