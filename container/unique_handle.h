#pragma once

// Sole owner of a Win32 handle that CloseHandle releases.

#include <windows.h>

namespace trevan {

class unique_handle {
public:
    // Takes ownership; INVALID_HANDLE_VALUE and null mean no handle.
    explicit unique_handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
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

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }

    HANDLE release() {
        HANDLE h = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return h;
    }

    // Closes the handle now; true when there was none or it closed.
    bool reset() {
        bool closed = true;
        if (*this) closed = CloseHandle(handle_) != 0;
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

}  // namespace trevan
