#include "app/temp_folder.h"

#include <vector>

#include "support/platform/plain_file.h"
#include "support/platform/unicode.h"

namespace trevan {
namespace {

std::wstring short_form(const std::wstring& path) {
    std::vector<wchar_t> buffer(MAX_PATH);
    const DWORD n = GetShortPathNameW(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0 || n >= buffer.size()) return std::wstring();
    return std::wstring(buffer.data(), n);
}

}  // namespace

std::optional<std::string> exact_ansi(const std::wstring& text) {
    const UINT code_page = GetACP();
    const DWORD flags = vennic::unicode::is_flag_capable(code_page) ? WC_NO_BEST_FIT_CHARS : 0;
    const int size = static_cast<int>(text.size());
    if (size == 0) return std::nullopt;
    const int n = WideCharToMultiByte(code_page, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(code_page, flags, text.data(), size, &out[0], n, nullptr, nullptr) != n)
        return std::nullopt;
    // What reads back as the same text is exact.
    const int back = MultiByteToWideChar(code_page, 0, out.data(), n, nullptr, 0);
    if (back != size) return std::nullopt;
    std::wstring round(static_cast<std::size_t>(back), L'\0');
    MultiByteToWideChar(code_page, 0, out.data(), n, &round[0], back);
    if (round != text) return std::nullopt;
    return out;
}

vennic::error_or<temp_folder> open_temp_folder(const std::wstring& path) {
    vennic::error_or<vennic::unique_handle> handle = vennic::open_plain_folder(path);
    if (!handle) return vennic::system_error{handle.error()};
    temp_folder folder;
    folder.handle = std::move(*handle);
    folder.path = path;
    if (std::optional<std::string> exact = exact_ansi(path)) {
        folder.text = std::move(*exact);
    } else {
        // The folder is held: its short form names the same folder.
        const std::wstring short_path = short_form(path);
        if (std::optional<std::string> ansi = exact_ansi(short_path)) {
            folder.path = short_path;
            folder.text = std::move(*ansi);
        }
    }
    if (folder.text.size() >= MAX_PATH) return vennic::system_error{ERROR_FILENAME_EXCED_RANGE};
    return folder;
}

vennic::error_or<temp_folder> open_user_temp_folder() {
    std::vector<wchar_t> wide(MAX_PATH + 1);
    DWORD length = GetTempPathW(static_cast<DWORD>(wide.size()), wide.data());
    if (length >= wide.size()) {
        wide.resize(length + 1);
        length = GetTempPathW(static_cast<DWORD>(wide.size()), wide.data());
    }
    if (length == 0 || length >= wide.size()) return vennic::system_error{ERROR_PATH_NOT_FOUND};
    vennic::error_or<temp_folder> folder = open_temp_folder(std::wstring(wide.data(), length));
    if (!folder && (folder.error() == ERROR_FILE_NOT_FOUND || folder.error() == ERROR_FILENAME_EXCED_RANGE))
        return vennic::system_error{ERROR_PATH_NOT_FOUND};
    return folder;
}

vennic::error_or<temp_folder> open_fallback_temp_folder() {
    // A fixed folder, not one the user names; an existing one is no error,
    // and a link there is refused when it is opened.
    CreateDirectoryW(fallback_temp_path, nullptr);
    return open_temp_folder(fallback_temp_path);
}

vennic::failure no_temp_path_failure() { return {"GetTempPath failed", "Unable to get Temporary Directory", 0}; }

}  // namespace trevan
