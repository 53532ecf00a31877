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
//
// A result holds the value or the code, never both: a failed result makes
// no T, and a successful one gives 0 as its code. Reaching for the value of
// a failed result ends the process (std::terminate) in the trees that carry
// the tests (VENNIC_CHECKED_ACCESS); the shipped program, whose every use
// asks first, spends no code on it.

#include <exception>
#include <new>
#include <utility>

namespace vennic {

// The error code of a failed system call.
struct system_error {
    unsigned long code = 0;
};

// A value, or the system_error that kept the call from making one.
template <typename T>
class error_or {
public:
    error_or(T value) : failed_(false) { new (&value_) T(std::move(value)); }
    error_or(system_error error) : failed_(true) { error_ = error.code; }

    error_or(const error_or& other) : failed_(other.failed_) {
        if (failed_)
            error_ = other.error_;
        else
            new (&value_) T(other.value_);
    }
    error_or(error_or&& other) noexcept : failed_(other.failed_) {
        if (failed_)
            error_ = other.error_;
        else
            new (&value_) T(std::move(other.value_));
    }
    error_or& operator=(const error_or& other) {
        if (this != &other) {
            error_or copy(other);
            *this = std::move(copy);
        }
        return *this;
    }
    error_or& operator=(error_or&& other) noexcept {
        if (this != &other) {
            clear();
            failed_ = other.failed_;
            if (failed_)
                error_ = other.error_;
            else
                new (&value_) T(std::move(other.value_));
        }
        return *this;
    }
    ~error_or() { clear(); }

    // True when the call succeeded.
    explicit operator bool() const { return !failed_; }
    // The error code of a failed call; 0 after success.
    unsigned long error() const { return failed_ ? error_ : 0; }

    T& operator*() { return value(); }
    const T& operator*() const { return value(); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }

private:
    T& value() {
        checked();
        return value_;
    }
    const T& value() const {
        checked();
        return value_;
    }
    void checked() const {
#ifdef VENNIC_CHECKED_ACCESS
        if (failed_) std::terminate();
#endif
    }
    void clear() {
        if (!failed_) value_.~T();
    }

    union {
        T value_;
        unsigned long error_;
    };
    bool failed_;
};

}  // namespace vennic
