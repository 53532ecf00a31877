#pragma once

// Opening a file in a folder that other, less privileged processes can write
// (the user's temporary folder) without being led elsewhere by a link that
// one of them put there.

#include <windows.h>

#include <string>

#include "support/core/error_or.h"
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
// refuses it. Fails with the system's code, or with ERROR_CANT_ACCESS_FILE
// for a file that is not plain (is_plain_file); never throws.
error_or<unique_handle> open_plain_file(const std::string& path, DWORD access, when_missing missing);

// What the system tells about an open file, as open_plain_file asks it.
struct file_facts {
    DWORD attributes = 0;     // FILE_ATTRIBUTE_* of the entry itself
    DWORD links = 0;          // its number of hard links
    std::wstring final_path;  // as the system gives it ("\\?\C:\x"); empty when unknown
};

// open_plain_file's decision on an open file: plain when it is neither a
// folder nor a reparse point, has one hard link, and its final path (without
// the "\\?\" or "\\?\UNC\" prefix) is the same path as long_path, the path
// asked for in its full and long form (empty when that cannot be had).
bool is_plain_file(const file_facts& facts, const std::wstring& long_path);

}  // namespace vennic
