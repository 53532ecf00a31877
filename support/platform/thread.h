#pragma once

// Sole owner of a thread started with CreateThread (the program is built
// without the standard library's threads): join() and destruction wait until
// the thread has returned, then close its handle, so whatever the thread
// uses must outlive this object. Move-only; moving hands over the thread.

#include <windows.h>

#include "support/core/error_or.h"
#include "support/platform/handle.h"

namespace vennic {

class thread {
public:
    using entry = DWORD(WINAPI*)(void* context);

    // Starts function(context) on a new thread; fails with CreateThread's
    // error.
    static error_or<thread> start(entry function, void* context);

    thread() noexcept = default;
    ~thread() { join(); }
    thread(thread&&) noexcept = default;
    thread& operator=(thread&& other) noexcept {
        if (this != &other) {
            join();
            handle_ = std::move(other.handle_);
        }
        return *this;
    }
    thread(const thread&) = delete;
    thread& operator=(const thread&) = delete;

    // Signalled once the thread has returned; null when there is none.
    HANDLE handle() const noexcept { return handle_.get(); }
    // Waits for the thread's end and closes its handle; nothing when there
    // is no thread.
    void join() noexcept;

private:
    explicit thread(HANDLE handle) noexcept : handle_(handle) {}

    unique_handle handle_;
};

}  // namespace vennic
