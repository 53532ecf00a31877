#pragma once

#include <optional>
#include <string>

#include "support/core/failure.h"

#ifdef _WIN32
#include <windows.h>

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

// The path of a file named name beside the work folder, in its parent:
// "C:\Temp\KELMO_msi.log.txt", or "T:\KELMO_msi.log.txt" at a drive's root.
std::string beside_work_folder(const std::string& work_folder, const std::string& name);

// The folder name for a run started at the given time (seconds since 1970,
// of which the format takes the low 32 bits as a signed number), with a
// trailing backslash: "VORBELQ1437469477\".
std::string work_folder_name(long long seconds);

#ifdef _WIN32
// The temporary directory with its trailing backslash, in the ANSI code
// page: the system's path where the code page represents it exactly (no
// look-alike substitutes), else its short (8.3) form where that is
// represented, else the system's own ANSI text of it (which names no folder,
// so the run ends at the work folder). Empty when the system cannot give it
// or the text is longer than 259 characters.
std::string temp_path();

// What the run uses, after telling the user, when temp_path() is empty.
inline constexpr char fallback_temp_path[] = "C:\\Temp\\";
vennic::failure no_temp_path_failure();

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
using before_folder_deletion = void (*)(const std::string& folder);

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

    // The folder with a trailing backslash; empty when there is none.
    const std::string& path() const { return path_; }
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
    work_folder(std::string path, vennic::unique_handle handle);

    std::string path_;
    vennic::unique_handle handle_;
};

struct work_folder_result {
    work_folder folder;
    // Set when no fresh folder could be made and entered ("SetCurrentDirectory
    // failed"): the run must end. A folder made but not entered is removed.
    std::optional<vennic::failure> failure;
};

// Creates a fresh work folder in the temporary directory temp (which ends in
// a backslash and is created when missing) with work_folder_security(), and
// makes it the current directory. The folder is created and opened in one
// step, so it is the run's own from the start; a folder that already exists
// is never used (it may have been prepared by someone else): the next
// numbers are tried instead.
work_folder_result make_work_folder(const std::string& temp);

// Deletes the folder's contents and the folder itself; true when the folder
// is gone. Read-only files and folders whose names begin with "." stay, and
// so do their parents. Links are removed as links: nothing behind a link is
// touched. A folder replaced by another during the removal is not deleted.
bool remove_tree(const std::string& folder);
#endif

}  // namespace trevan
