#pragma once

// Opening folders and files in places that other, less privileged processes
// can write (the user's temporary folder) without being led elsewhere by a
// link that one of them put there, and without a name being looked up again
// once its folder is held.

#include <windows.h>

#include <string>

#include "support/core/error_or.h"
#include "support/platform/handle.h"

namespace vennic {

// What open_plain_file does when nothing is at the name.
enum class when_missing { fail, create };

// Opens the folder at path (a full path, with or without a trailing
// backslash) itself, never what a link there leads to, and keeps the handle
// only when the folder is plain (is_plain_folder): a folder, no reparse
// point, and its final path is path in long form, so no link anywhere along
// the way either. The handle lists and reads attributes, and shares reading
// and writing but not deleting: nobody renames or removes the folder while
// it is held. Nothing is created. Fails with the system's code, or with
// ERROR_CANT_ACCESS_FILE for a folder that is not plain; never throws.
error_or<unique_handle> open_plain_folder(const std::wstring& path);

// Opens the file name (a bare file name) in the held folder, never what a
// link there leads to, and keeps the handle only when the file is plain
// (is_plain_file): not a folder or reparse point, one hard link only, and its
// final path is the folder's followed by name, in any letter case. A new
// file is created only where no name exists at all, a link leading nowhere
// included. access is added to FILE_READ_ATTRIBUTES. share is the sharing
// asked for; where the file system refuses delete sharing it is asked for
// without. Fails with the system's code, or with ERROR_CANT_ACCESS_FILE for
// a file that is not plain; never throws.
error_or<unique_handle> open_plain_file(HANDLE folder, const std::wstring& name, DWORD access, when_missing missing,
                                        DWORD share);

// What the system tells about an open file or folder, as the openings above
// ask it.
struct file_facts {
    DWORD attributes = 0;     // FILE_ATTRIBUTE_* of the entry itself
    DWORD links = 0;          // its number of hard links
    std::wstring final_path;  // as the system gives it ("\\?\C:\x"); empty when unknown
};

// open_plain_file's decision on an open file: plain when it is neither a
// folder nor a reparse point, has one hard link, and its final path (without
// the "\\?\" or "\\?\UNC\" prefix) is the same path as long_path, the path
// expected in its full and long form (empty when that cannot be had).
bool is_plain_file(const file_facts& facts, const std::wstring& long_path);

// open_plain_folder's decision: a folder, no reparse point, and its final
// path is the same path as long_path, as for files.
bool is_plain_folder(const file_facts& facts, const std::wstring& long_path);

}  // namespace vennic
