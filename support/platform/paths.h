#pragma once

// Paths as the system spells them: the full form of a path, the final path
// of an open file, comparing two of them, and whether one lies directly in
// another. A path the system cannot make comes back as its error code.
// Never throws but bad_alloc.

#include <windows.h>

#include <string>

#include "support/core/error_or.h"

namespace vennic {

// The absolute form of path (GetFullPathNameW), of any length.
error_or<std::wstring> full_path(const std::wstring& path);

// The absolute form of path with its short (8.3) components in their long
// form, as final_path spells an entry (GetLongPathNameW, which needs the
// entry to exist).
error_or<std::wstring> long_path(const std::wstring& path);

// The path of what the handle refers to, links in it resolved, with the
// drive letter ("\\?\C:\x").
error_or<std::wstring> final_path(HANDLE file);

// Whether two non-empty paths are the same text in any letter case.
bool same_path(const std::wstring& a, const std::wstring& b);

// Whether path names an entry directly inside folder: the text before its
// last backslash is the same path as folder. Both are final paths (the
// system's spelling), so that a link along the way shows as another folder.
bool lies_directly_in(const std::wstring& path, const std::wstring& folder);

}  // namespace vennic
