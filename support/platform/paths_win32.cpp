#include "support/platform/paths.h"

#include <vector>

namespace vennic {

namespace {

// What a call that fills a buffer made: the text, or the code of its
// failure. A result that no longer fits after one growth (the entry was
// renamed between the calls) fails as a buffer too small.
error_or<std::wstring> text_or_error(const std::vector<wchar_t>& buffer, DWORD n) {
    if (n == 0) return system_error{GetLastError()};
    if (n >= buffer.size()) return system_error{ERROR_INSUFFICIENT_BUFFER};
    return std::wstring(buffer.data(), n);
}

}  // namespace

error_or<std::wstring> full_path(const std::wstring& path) {
    std::vector<wchar_t> full(MAX_PATH);
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n + 1);
        n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    return text_or_error(full, n);
}

error_or<std::wstring> long_path(const std::wstring& path) {
    const error_or<std::wstring> full = full_path(path);
    if (!full) return system_error{full.error()};
    std::vector<wchar_t> long_form(MAX_PATH);
    DWORD n = GetLongPathNameW(full->c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
    if (n >= long_form.size()) {
        long_form.resize(n + 1);
        n = GetLongPathNameW(full->c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
    }
    return text_or_error(long_form, n);
}

error_or<std::wstring> final_path(HANDLE file) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0 || n < buffer.size()) return text_or_error(buffer, n);
        buffer.resize(n + 1);
    }
}

bool same_path(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool lies_directly_in(const std::wstring& path, const std::wstring& folder) {
    const std::wstring::size_type slash = path.rfind(L'\\');
    return slash != std::wstring::npos && same_path(path.substr(0, slash), folder);
}

}  // namespace vennic
