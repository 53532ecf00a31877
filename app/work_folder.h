#pragma once

// The run's work folder in the temporary folder: its name, its parent, and
// on Windows the folder itself, made with its own security descriptor and
// held until it is removed. Failures come back as vennic::failure values.

#include <optional>
#include <string>

#include "support/core/failure.h"

#ifdef _WIN32
#include <windows.h>

#include "app/temp_folder.h"
#include "support/core/error_or.h"
#include "support/platform/handle.h"
#endif

namespace trevan {

// The work folder without its last component: the text before the last
// backslash, passing over a trailing one ("C:\Temp\VORBELQ1\" gives
// "C:\Temp"). A drive's root keeps its backslash ("C:\VORBELQ1\" gives
// "C:\", since "C:" alone names the drive's current folder). A text without
// such a backslash is returned whole.
std::string parent_folder(const std::string& work_folder);

// The folder name for a number, with a trailing backslash: the run's first
// try is the time it started (seconds since 1970), later tries take
// unpredictable numbers. The format takes the low 32 bits as a signed
// number: "VORBELQ1437469477\".
std::string work_folder_name(long long number);

#ifdef _WIN32
// Called by a removal with the folder's path once the folder is emptied and
// no longer held, right before it is opened again, relative to its held
// parent, to be deleted: the moment a folder of the same name swapped in by
// someone else must be told apart. A seam for tests; the run passes none.
using before_folder_deletion = void (*)(const std::wstring& folder);

// The run's work folder: created by this run and held from its creation
// until it is removed. The handle shares reading and writing but not
// deleting, so nobody can rename, delete or replace the folder meanwhile (a
// renamed folder would let a prepared one take its place). It has no right
// to delete either, so that the folder can still be made the current
// directory, whose own handle does not share deleting. Move-only; the last
// owner removes the folder.
class work_folder {
public:
    work_folder() = default;
    ~work_folder();
    work_folder(work_folder&& other) noexcept;
    work_folder& operator=(work_folder&& other) noexcept;
    work_folder(const work_folder&) = delete;
    work_folder& operator=(const work_folder&) = delete;

    // The folder with a trailing backslash, in the ANSI code page (exactly,
    // or in its short form); empty when there is none.
    const std::string& path() const { return path_; }
    // The same folder in UTF-16, as path() names it.
    const std::wstring& wide_path() const { return wide_path_; }
    // The held handle (list and read attributes only).
    HANDLE handle() const { return handle_.get(); }

    // Leaves the folder (the parent becomes the current directory), deletes
    // its contents through the held handle (vennic::remove_contents: no path
    // is opened, links are removed as links, read-only files and folders
    // whose names begin with "." stay, and so do their parents), then the
    // folder itself, opened relative to its held parent, which must still be
    // the one created (a folder swapped in under its name stays): true when
    // it is gone. Afterwards the object holds nothing, whatever the result.
    bool remove(before_folder_deletion before_deletion = nullptr);

private:
    friend struct work_folder_maker;
    work_folder(std::string path, std::wstring wide_path, vennic::unique_handle handle, vennic::unique_handle parent);

    std::string path_;
    std::wstring wide_path_;
    vennic::unique_handle handle_;
    // The folder it was made in, held as long as the folder itself.
    vennic::unique_handle parent_;
};

// The failure that ends the run when no fresh folder could be made and
// entered ("SetCurrentDirectory failed"), with the system's code.
vennic::failure work_folder_failure(unsigned long error);

struct work_folder_result {
    work_folder folder;
    // Set when no fresh folder could be made and entered ("SetCurrentDirectory
    // failed"): the run must end. A folder made but not entered is removed.
    std::optional<vennic::failure> failure;
};

// Whether the volume of the held folder keeps access lists on its files
// (FILE_PERSISTENT_ACLS): FAT, exFAT and some network shares do not, so a
// descriptor given there protects nothing.
bool keeps_access_lists(HANDLE folder);
using access_list_check = bool (*)(HANDLE folder);

// Where the names after the first come from: an unpredictable number, or
// nothing when the source fails.
using random_source = std::optional<std::uint32_t> (*)();

// What make_work_folder asks the system, for tests to answer instead.
struct work_folder_seams {
    access_list_check keeps_lists = keeps_access_lists;
    // nullptr: the system's random source.
    random_source random = nullptr;
};

// Creates a fresh work folder in the temporary folder temp with
// vennic::protected_folder_security(), and makes it the current directory.
// The folder is created by its name relative to the held temp and opened in
// the same step, so it is the run's own from the start; a name that is already taken
// is never used (someone else may have prepared it). The first try is named
// after the time (work_folder_name), the next ones after unpredictable
// numbers from the random source, 100 of them, as many as nobody could
// have prepared (101 tries in all). Where temp's volume keeps no access
// lists, the folder is made in the system's own temporary folder
// (%SystemRoot%\Temp) instead, which must keep them.
work_folder_result make_work_folder(const temp_folder& temp, const work_folder_seams& seams = {});
#endif

}  // namespace trevan
