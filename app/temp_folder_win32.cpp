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
    if (text.empty()) return std::nullopt;
    return vennic::unicode::to_exact_narrow(text, CP_ACP);
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

vennic::failure no_temp_path_failure() {
    return {"GetTempPath failed", "Unable to get Temporary Directory", 0, {}, vennic::ui_text::temp_folder_text, {}};
}

}  // namespace trevan
