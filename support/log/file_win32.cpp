#include "support/log/file.h"

#include <optional>

#include "support/core/string_printf.h"
#include "support/core/text.h"
#include "support/log/log.h"
#include "support/platform/plain_file.h"
#include "support/platform/system_error_text.h"
#include "support/platform/unicode.h"

namespace vennic {
namespace log {
namespace {

const char byte_order_mark[] = "\xEF\xBB\xBF";

HANDLE open_shared(HANDLE folder, const std::string& name) {
    // The name's last component, in ASCII or the code page; the folder is
    // held, so nothing before it is looked up again.
    const std::string file_name = name.substr(name.rfind('\\') + 1) + ".log.txt";
    error_or<unique_handle> handle = system_error{ERROR_INVALID_NAME};
    try {
        handle = open_plain_file(folder, unicode::to_wide(file_name, CP_ACP), GENERIC_WRITE, when_missing::create,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    } catch (const unicode::generic&) {
    }
    if (!handle) throw generic("CreateFile failed: " + system_error_text(handle.error()));
    return handle->release();
}

// Nothing when the size cannot be read.
std::optional<unsigned long long> file_size(HANDLE handle) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::nullopt;
    return (static_cast<unsigned long long>(high) << 32) | low;
}

void write_bytes(HANDLE handle, const char* data, DWORD count) {
    DWORD written = 0;
    WriteFile(handle, data, count, &written, nullptr);
}

// Releases a mutex taken by file::take_lock on the ways out by exception;
// release() lets a failing release reach the caller.
class held_lock {
public:
    explicit held_lock(real_mutex& lock) : lock_(&lock) {}
    held_lock(const held_lock&) = delete;
    held_lock& operator=(const held_lock&) = delete;
    ~held_lock() {
        try {
            release();
        } catch (...) {
        }
    }
    void release() {
        real_mutex* lock = lock_;
        lock_ = nullptr;
        if (lock) lock->unlock();
    }

private:
    real_mutex* lock_;
};

}  // namespace

std::string file::mutex_name(const std::string& name) { return "log-" + replace_all_copy(name, "\\", "_"); }

file::file(HANDLE folder, const std::string& name, std::uint32_t size_limit, unsigned long lock_timeout_ms)
    : file_lock_(mutex_name(name)),
      name_(name),
      size_limit_(size_limit),
      lock_timeout_ms_(lock_timeout_ms),
      handle_(open_shared(folder, name)) {
    // Under the file's mutex, so that of several processes opening a new
    // file at once exactly one writes the mark, and before anyone's line.
    if (!take_lock()) {
        mark_pending_ = true;
        return;
    }
    held_lock guard(file_lock_);
    const std::optional<unsigned long long> size = file_size(handle_.get());
    if (size && *size == 0) {
        SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN);
        write_bytes(handle_.get(), byte_order_mark, 3);
    }
    guard.release();
}

file::~file() = default;

bool file::take_lock() {
    if (file_lock_.wait(lock_stalled_ ? 0 : lock_timeout_ms_)) {
        lock_stalled_ = false;
        return true;
    }
    lock_stalled_ = true;
    return false;
}

void file::write(int, const std::string& prefix, const std::string& text) {
    const std::string line = string_printf("%s%s\r\n", prefix.c_str(), text.c_str());

    if (!take_lock()) return;
    held_lock guard(file_lock_);
    // A size that cannot be read is taken as below the limit: emptying the
    // file on a failed query would destroy the log for nothing. The full
    // 64-bit size counts, so a file past 4 GiB still rolls over.
    const std::optional<unsigned long long> size = file_size(handle_.get());
    if (size && *size >= size_limit_) {
        SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN);
        SetEndOfFile(handle_.get());
        write_bytes(handle_.get(), byte_order_mark, 3);
    } else if (mark_pending_ && size && *size == 0) {
        SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN);
        write_bytes(handle_.get(), byte_order_mark, 3);
    }
    mark_pending_ = false;
    // Other processes append too: always behind the last line, whoever
    // wrote it.
    SetFilePointer(handle_.get(), 0, nullptr, FILE_END);
    write_bytes(handle_.get(), line.data(), static_cast<DWORD>(line.size()));
    // Released here so that a failing release reaches the caller; the
    // guard releases on the ways out by exception.
    guard.release();
}

}  // namespace log
}  // namespace vennic
