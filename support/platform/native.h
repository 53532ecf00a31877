#pragma once

// The few calls of the system's native layer (ntdll) that Win32 has no form
// for: opening a file or folder by a name relative to a held folder, with a
// security descriptor given at creation, and telling whether two mapped
// views are of one file. Never throws.

#include <windows.h>
#include <winternl.h>

#include <string>

#include "support/core/error_or.h"
#include "support/platform/handle.h"

namespace vennic {

// What open_at asks for: the access (SYNCHRONIZE is added), the sharing,
// the disposition (FILE_OPEN, FILE_CREATE, FILE_OPEN_IF, FILE_OVERWRITE_IF)
// and the options (FILE_DIRECTORY_FILE, FILE_NON_DIRECTORY_FILE,
// FILE_OPEN_REPARSE_POINT, ...; synchronous I/O is added), and for a new
// entry its descriptor (nullptr: inherited).
struct open_request {
    ACCESS_MASK access = 0;
    ULONG share = 0;
    ULONG disposition = 0;
    ULONG options = 0;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
};

// Opens or creates the entry name (a bare name) in the folder held by
// folder: the name is looked up in that folder only, whatever has happened
// to the path the folder was opened by since. Fails with the
// system's error code (ERROR_ALREADY_EXISTS for a name that is taken when
// the disposition creates).
error_or<unique_handle> open_at(HANDLE folder, const std::wstring& name, const open_request& request);

// Whether the file mapped as a data view at view is the very file that the
// image at image (a module's base) was mapped from: the same file, not a
// copy of it, under whatever name. False when the system cannot tell.
bool same_mapped_file(const void* image, const void* view);

}  // namespace vennic
