#include "support/platform/thread.h"

namespace vennic {

error_or<thread> thread::start(entry function, void* context) {
    HANDLE handle = CreateThread(nullptr, 0, function, context, 0, nullptr);
    if (!handle) return system_error{GetLastError()};
    return thread(handle);
}

void thread::join() noexcept {
    if (!handle_) return;
    WaitForSingleObject(handle_.get(), INFINITE);
    handle_.reset();
}

}  // namespace vennic
