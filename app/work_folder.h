#pragma once

#include <optional>
#include <string>

#include "support/core/failure.h"

namespace trevan {

// The work folder without its last component: the text before the last
// backslash, passing over a trailing one ("C:\Temp\VORBELQ1\" gives
// "C:\Temp"). A text without such a backslash is returned whole.
std::string parent_folder(const std::string& work_folder);

// The folder name for a run started at the given time (seconds since 1970,
// of which the format takes the low 32 bits as a signed number), with a
// trailing backslash: "VORBELQ1437469477\".
std::string work_folder_name(long long seconds);

#ifdef _WIN32
// The temporary directory with its trailing backslash, or empty when the
// system cannot give it (also when it is longer than 259 characters).
std::string temp_path();

// What the run uses, after telling the user, when temp_path() is empty.
inline constexpr char fallback_temp_path[] = "C:\\Temp\\";
vennic::failure no_temp_path_failure();

struct work_folder_result {
    std::string path;  // the work folder with a trailing backslash
    // Set when no fresh folder could be made and entered ("SetCurrentDirectory
    // failed"): the run must end.
    std::optional<vennic::failure> failure;
};

// Creates a fresh work folder in the temporary directory temp (which ends in
// a backslash and is created when missing) and makes it the current
// directory. A folder that already exists is never used (it may have been
// prepared by someone else): the next numbers are tried instead.
work_folder_result make_work_folder(const std::string& temp);

// Deletes the folder's contents and the folder itself; true when the folder
// is gone. Read-only files and folders whose names begin with "." stay, and
// so do their parents. Links are removed as links: nothing behind a link is
// touched.
bool remove_tree(const std::string& folder);
#endif

}  // namespace trevan
