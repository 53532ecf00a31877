#pragma once

// How a call that can fail with a system error says so: it returns its
// value or the system's error code, taken at the failing call
// (GetLastError() on Windows). A signature then shows how the call fails,
// without an out-parameter for the code.
//
//     vennic::error_or<unique_handle> open(...) {
//         if (...) return vennic::system_error{GetLastError()};
//         return unique_handle(h);
//     }

#include <utility>

namespace vennic {

// The error code of a failed system call.
struct system_error {
    unsigned long code = 0;
};

// A value, or the system_error that kept the call from making one. The value
// of a failed result is T's default and must not be used.
template <typename T>
class error_or {
public:
    error_or(T value) : value_(std::move(value)) {}
    error_or(system_error error) : error_(error.code), failed_(true) {}

    // True when the call succeeded.
    explicit operator bool() const { return !failed_; }
    // The error code of a failed call; 0 after success.
    unsigned long error() const { return error_; }

    T& operator*() { return value_; }
    const T& operator*() const { return value_; }
    T* operator->() { return &value_; }
    const T* operator->() const { return &value_; }

private:
    T value_{};
    unsigned long error_ = 0;
    bool failed_ = false;
};

}  // namespace vennic
