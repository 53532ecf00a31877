#include "container/file_reader.h"

#include <windows.h>

#include <cstring>

namespace trevan {

file_reader::file_reader(const std::string& path)
    : handle_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr)) {
    if (handle_ == INVALID_HANDLE_VALUE) open_error_ = GetLastError();
}

file_reader::file_reader(borrowed file) : handle_(file.handle), owned_(false) {}

file_reader::~file_reader() {
    if (owned_ && is_open()) CloseHandle(handle_);
}

bool file_reader::is_open() const { return handle_ != INVALID_HANDLE_VALUE; }

std::optional<std::uint32_t> file_reader::move_to_end() {
    DWORD at = SetFilePointer(handle_, 0, nullptr, FILE_END);
    if (at == INVALID_SET_FILE_POINTER) return std::nullopt;
    return at;
}

std::optional<std::uint32_t> file_reader::move(std::int32_t distance) {
    DWORD at = SetFilePointer(handle_, distance, nullptr, FILE_CURRENT);
    if (at == INVALID_SET_FILE_POINTER) return std::nullopt;
    return at;
}

bool file_reader::read(void* destination, std::uint32_t size) {
    DWORD got = 0;
    if (!ReadFile(handle_, destination, size, &got, nullptr)) return false;
    if (got < size) std::memset(static_cast<char*>(destination) + got, 0, size - got);
    return true;
}

}  // namespace trevan
