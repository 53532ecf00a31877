#pragma once

// Sole owner of a kernel handle (file, mutex, process, ...): closes it with
// CloseHandle when destroyed or reset. Both null and INVALID_HANDLE_VALUE
// count as "no handle". Move-only.

#include <windows.h>

namespace vennic {

class unique_handle {
public:
    unique_handle() noexcept = default;
    explicit unique_handle(HANDLE handle) noexcept : handle_(handle) {}
    ~unique_handle() { reset(); }

    unique_handle(unique_handle&& other) noexcept : handle_(other.release()) {}
    unique_handle& operator=(unique_handle&& other) noexcept {
        if (this != &other) {
            reset();
            handle_ = other.release();
        }
        return *this;
    }
    unique_handle(const unique_handle&) = delete;
    unique_handle& operator=(const unique_handle&) = delete;

    HANDLE get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return valid(handle_); }

    // Gives the handle up without closing it.
    HANDLE release() noexcept {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }

    void reset(HANDLE handle = nullptr) noexcept {
        if (valid(handle_)) CloseHandle(handle_);
        handle_ = handle;
    }

private:
    static bool valid(HANDLE handle) noexcept {
        return handle != nullptr && handle != INVALID_HANDLE_VALUE;
    }

    HANDLE handle_ = nullptr;
};

}  // namespace vennic
