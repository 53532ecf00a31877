#pragma once

// Opening a file in a folder that other, less privileged processes can write
// (the user's temporary folder) without being led elsewhere by a link that
// one of them put there.

#include <windows.h>

#include <string>

#include "support/platform/handle.h"

namespace vennic {

// What open_plain_file does when nothing is at the path.
enum class when_missing { fail, create };

// Opens the file at path itself, never what a link there leads to, and keeps
// the handle only when the file is plain: not a folder or reparse point, one
// hard link only, and the handle's final path is the path asked for (compared
// in long form and in any letter case, so short names and case differences
// pass; a link anywhere along the way does not). A new file is created only
// where nothing is at the path, never through a link that leads nowhere.
// access is added to FILE_READ_ATTRIBUTES; the file is shared for reading,
// writing and deleting, or without delete sharing where the file system
// refuses it. Returns an empty handle with error set (the system's code, or
// ERROR_CANT_ACCESS_FILE for a file that fails a check); never throws.
unique_handle open_plain_file(const std::string& path, DWORD access, when_missing missing, DWORD& error);

}  // namespace vennic
