#include "support/log/file.h"

#include "support/core/string_printf.h"
#include "support/core/system_error_text.h"
#include "support/core/text.h"
#include "support/log/log.h"
#include "support/platform/scope.h"

namespace vennic {
namespace log {
namespace {

const char byte_order_mark[] = "\xEF\xBB\xBF";

HANDLE open_shared(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    // Some file systems refuse delete sharing.
    if (handle == INVALID_HANDLE_VALUE)
        handle = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        throw generic("CreateFile failed: " + system_error_text(GetLastError()));
    return handle;
}

// False when the size cannot be read.
bool file_size(HANDLE handle, unsigned long long& size) {
    DWORD high = 0;
    SetLastError(NO_ERROR);
    DWORD low = GetFileSize(handle, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return false;
    size = (static_cast<unsigned long long>(high) << 32) | low;
    return true;
}

void write_bytes(HANDLE handle, const char* data, DWORD count) {
    DWORD written = 0;
    WriteFile(handle, data, count, &written, nullptr);
}

}  // namespace

std::string file::mutex_name(const std::string& name) { return "log-" + replace_all_copy(name, "\\", "_"); }

file::file(const std::string& name, std::uint32_t size_limit)
    : file_lock_(mutex_name(name)), name_(name), size_limit_(size_limit), handle_(open_shared(name + ".log.txt")) {
    // Under the file's mutex, so that of several processes opening a new
    // file at once exactly one writes the mark, and before anyone's line.
    scope guard(&file_lock_);
    unsigned long long size = 0;
    if (file_size(handle_.get(), size) && size == 0) {
        SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN);
        write_bytes(handle_.get(), byte_order_mark, 3);
    }
    guard.unlock();
}

file::~file() = default;

void file::write(int, const std::string& prefix, const std::string& text) {
    const std::string line = string_printf("%s%s\r\n", prefix.c_str(), text.c_str());

    scope guard(&file_lock_);
    // A size that cannot be read is taken as below the limit: emptying the
    // file on a failed query would destroy the log for nothing. The full
    // 64-bit size counts, so a file past 4 GiB still rolls over.
    unsigned long long size = 0;
    if (file_size(handle_.get(), size) && size >= size_limit_) {
        SetFilePointer(handle_.get(), 0, nullptr, FILE_BEGIN);
        SetEndOfFile(handle_.get());
        write_bytes(handle_.get(), byte_order_mark, 3);
    }
    // Other processes append too: always behind the last line, whoever
    // wrote it.
    SetFilePointer(handle_.get(), 0, nullptr, FILE_END);
    write_bytes(handle_.get(), line.data(), static_cast<DWORD>(line.size()));
    // Released here so that a failing release reaches the caller; the
    // guard releases on the ways out by exception.
    guard.unlock();
}

}  // namespace log
}  // namespace vennic
