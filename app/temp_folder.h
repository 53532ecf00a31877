#pragma once

// The folders the run works in: the user's temporary folder, and the ones
// it falls back to (Windows). Each is opened once by its path and held for
// the whole run; everything in it is then made relative to that handle.

#include <windows.h>

#include <optional>
#include <string>

#include "support/core/error_or.h"
#include "support/core/failure.h"
#include "support/platform/handle.h"

namespace trevan {

struct temp_folder {
    // The folder with its trailing backslash, in the spelling that text
    // names: its long form where the ANSI code page holds that exactly, else
    // its short (8.3) form.
    std::wstring path;
    // The same path in the ANSI code page, for the settings, the messages
    // and the setup program's command line; empty when the code page holds
    // neither form (no narrow text then names the folder).
    std::string text;
    // Held as a plain folder (vennic::open_plain_folder): listing and
    // attributes, not shared for deleting, so neither it nor a folder above
    // it can be renamed while the run holds it.
    vennic::unique_handle handle;
};

// Opens the folder at path (a full path with its trailing backslash) as a
// plain folder: never created, never reached through a link. Fails with the
// system's code, with ERROR_CANT_ACCESS_FILE for a folder that is not plain,
// and with ERROR_FILENAME_EXCED_RANGE when its ANSI text would be 260
// characters or more.
vennic::error_or<temp_folder> open_temp_folder(const std::wstring& path);

// The user's temporary folder (GetTempPathW), opened as above: the elevated
// run never creates it. Fails with ERROR_PATH_NOT_FOUND when there is none
// (the system gives no path, a path too long, or one where nothing is), and
// with the codes above when what is there cannot be used.
vennic::error_or<temp_folder> open_user_temp_folder();

// What the run uses, after telling the user (no_temp_path_failure), when the
// user's temporary folder cannot be had: "C:\Temp\", created when missing.
inline constexpr wchar_t fallback_temp_path[] = L"C:\\Temp\\";
vennic::error_or<temp_folder> open_fallback_temp_folder();
vennic::failure no_temp_path_failure();

// The text in the ANSI code page when that represents it exactly: no
// character left out or replaced by a look-alike ("a" for "ā" would name
// another folder). Nothing when it does not, or for an empty text.
std::optional<std::string> exact_ansi(const std::wstring& text);

}  // namespace trevan
