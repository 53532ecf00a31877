#include "app/own_file.h"

#include <vector>

#include "support/platform/native.h"

namespace trevan {
namespace {

std::wstring module_path() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        // A path that does not fit is cut and reported as filling the buffer.
        if (n < path.size()) return std::wstring(path.data(), n);
        if (path.size() >= 0x8000) return std::wstring();
        path.resize(path.size() * 2);
    }
}

std::string shown(const std::wstring& path) {
    const int size = static_cast<int>(path.size());
    const int n = WideCharToMultiByte(CP_ACP, 0, path.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::string();
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.data(), size, &text[0], n, nullptr, nullptr);
    return text;
}

}  // namespace

bool is_running_image(HANDLE file) {
    // A data view of the first page is enough: the system compares what the
    // view and the image were mapped from, not their bytes.
    vennic::unique_handle mapping(CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping) return false;
    void* view = MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 1);
    if (!view) return false;
    const bool same = vennic::same_mapped_file(GetModuleHandleW(nullptr), view);
    UnmapViewOfFile(view);
    return same;
}

own_file open_own_file() {
    own_file own;
    const std::wstring path = module_path();
    if (path.empty()) {
        own.file = vennic::system_error{GetLastError()};
        return own;
    }
    own.path = shown(path);
    // No write or delete sharing: from here on the file cannot be renamed,
    // replaced or changed, so what is proven below stays true.
    vennic::unique_handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file) {
        own.file = vennic::system_error{GetLastError()};
        return own;
    }
    // Between the start and the open above, the file at the path may have
    // been renamed away and another put in its place.
    if (!is_running_image(file.get())) {
        own.file = vennic::system_error{ERROR_FILE_INVALID};
        return own;
    }
    own.file = std::move(file);
    return own;
}

}  // namespace trevan
