#include "support/platform/paths.h"

#include <vector>

namespace vennic {

std::wstring full_path(const std::wstring& path) {
    std::vector<wchar_t> full(MAX_PATH);
    DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n >= full.size()) {
        full.resize(n + 1);
        n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    }
    if (n == 0 || n >= full.size()) return std::wstring();
    return std::wstring(full.data(), n);
}

std::wstring long_path(const std::wstring& path) {
    const std::wstring full = full_path(path);
    if (full.empty()) return std::wstring();
    std::vector<wchar_t> long_form(MAX_PATH);
    DWORD n = GetLongPathNameW(full.c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
    if (n >= long_form.size()) {
        long_form.resize(n + 1);
        n = GetLongPathNameW(full.c_str(), long_form.data(), static_cast<DWORD>(long_form.size()));
    }
    if (n == 0 || n >= long_form.size()) return std::wstring();
    return std::wstring(long_form.data(), n);
}

std::wstring final_path(HANDLE file) {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) return std::wstring();
        if (n < buffer.size()) return std::wstring(buffer.data(), n);
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
