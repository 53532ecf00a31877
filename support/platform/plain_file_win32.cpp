#include "support/platform/plain_file.h"

#include <vector>

#include "support/platform/paths.h"

namespace vennic {
namespace {

// "\\?\C:\x" as "C:\x", "\\?\UNC\server\share\x" as "\\server\share\x".
std::wstring without_long_prefix(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
    return path;
}

// The path as the system would spell the file it names: full, and with its
// short (8.3) components in their long form. The file must exist.
std::wstring long_full_path(const std::string& path) {
    const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), n);

    const std::wstring full = full_path(wide.data());
    if (full.empty()) return std::wstring();

    std::vector<wchar_t> long_form(MAX_PATH);
    DWORD length = GetLongPathNameW(full.data(), long_form.data(), static_cast<DWORD>(long_form.size()));
    if (length >= long_form.size()) {
        long_form.resize(length + 1);
        length = GetLongPathNameW(full.data(), long_form.data(), static_cast<DWORD>(long_form.size()));
    }
    if (length == 0 || length >= long_form.size()) return std::wstring();
    return std::wstring(long_form.data(), length);
}

HANDLE open(const std::string& path, DWORD access, DWORD disposition) {
    // The reparse point itself is opened, not what it points to; a system
    // that cannot open links themselves resolves them, which the final path
    // then shows.
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT;
    HANDLE h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, disposition, flags, nullptr);
    // Some file systems refuse delete sharing.
    if (h == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
        GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND)
        h = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition, flags,
                        nullptr);
    return h;
}

bool is_plain(HANDLE file, const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return false;
    return is_plain_file({info.dwFileAttributes, info.nNumberOfLinks, final_path(file)}, long_full_path(path));
}

}  // namespace

bool is_plain_file(const file_facts& facts, const std::wstring& long_path) {
    if (facts.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    // Another name of the same file may lie anywhere on the volume.
    if (facts.links != 1) return false;
    return same_path(without_long_prefix(facts.final_path), long_path);
}

error_or<unique_handle> open_plain_file(const std::string& path, DWORD access, when_missing missing) {
    access |= FILE_READ_ATTRIBUTES;
    // Never "open always": that creates the target of a link leading nowhere
    // on some systems. A new file is created only where no name exists at
    // all, a dangling link included.
    unique_handle file;
    if (missing == when_missing::create) {
        file.reset(open(path, access, CREATE_NEW));
        if (!file && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            return system_error{GetLastError()};
    }
    if (!file) file.reset(open(path, access, OPEN_EXISTING));
    if (!file) return system_error{GetLastError()};
    if (!is_plain(file.get(), path)) return system_error{ERROR_CANT_ACCESS_FILE};
    return file;
}

}  // namespace vennic
