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
// A self-relative security descriptor, owned (LocalFree on destruction).
class security_descriptor {
public:
    security_descriptor() = default;
    explicit security_descriptor(PSECURITY_DESCRIPTOR descriptor) : descriptor_(descriptor) {}
    ~security_descriptor();
    security_descriptor(security_descriptor&& other) noexcept : descriptor_(other.descriptor_) {
        other.descriptor_ = nullptr;
    }
    security_descriptor& operator=(security_descriptor&& other) noexcept;
    security_descriptor(const security_descriptor&) = delete;
    security_descriptor& operator=(const security_descriptor&) = delete;

    PSECURITY_DESCRIPTOR get() const { return descriptor_; }
    explicit operator bool() const { return descriptor_ != nullptr; }

private:
    PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

// The work folder's descriptor: owner Administrators; full control for
// Administrators and SYSTEM, read and execute only for the user this process
// runs as; nothing inherited from the parent (protected), and every entry
// inherited by the files and folders inside. Fails when the user or the
// descriptor cannot be had.
vennic::error_or<security_descriptor> work_folder_security();

// Called by a removal with the folder's path once the folder is emptied and
// no longer held, right before it is opened to be deleted: the moment a
// folder of the same name swapped in by someone else must be told apart.
// A seam for tests; the run passes none.
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

    // Leaves the folder (the parent becomes the current directory), then
    // deletes its contents as remove_tree does and the folder itself, which
    // must still be the one created (a folder swapped in under its name
    // stays): true when it is gone. Afterwards the object holds nothing,
    // whatever the result.
    bool remove(before_folder_deletion before_deletion = nullptr);

private:
    friend struct work_folder_maker;
    work_folder(std::string path, std::wstring wide_path, vennic::unique_handle handle);

    std::string path_;
    std::wstring wide_path_;
    vennic::unique_handle handle_;
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

// Creates a fresh work folder in the temporary folder temp with
// work_folder_security(), and makes it the current directory. The folder is
// created by its name relative to the held temp and opened in the same
// step, so it is the run's own from the start; a name that is already taken
// is never used (someone else may have prepared it). The first try is named
// after the time (work_folder_name), the next ones after unpredictable
// numbers from the system's random source, as many as nobody could have
// prepared. Where temp's volume keeps no access lists (keeps_lists, a seam
// for tests), the folder is made in the system's own temporary folder
// (%SystemRoot%\Temp) instead, which must keep them.
work_folder_result make_work_folder(const temp_folder& temp, access_list_check keeps_lists = keeps_access_lists);

// Deletes the folder's contents and the folder itself; true when the folder
// is gone. Read-only files and folders whose names begin with "." stay, and
// so do their parents. Links are removed as links: nothing behind a link is
// touched. A folder replaced by another during the removal is not deleted.
bool remove_tree(const std::wstring& folder);
#endif

}  // namespace trevan
