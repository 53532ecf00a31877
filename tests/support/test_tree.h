#pragma once

// Removing what a Windows-side test made under its own folder, whatever is
// left there: read-only files and paths past MAX_PATH included. Through
// "\\?\" paths, never through cmd's "rmdir /s": under Wine 8 that removed
// the current directory's tree instead when it met a path past MAX_PATH.

#include <windows.h>

#include <string>

namespace trevan::testing {

// path: a full path, with or without "\\?\" in front and a trailing
// backslash. Folder links are removed as links.
inline void remove_test_tree(std::wstring path) {
    if (path.compare(0, 4, L"\\\\?\\") != 0) path = L"\\\\?\\" + path;
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring inner = path + L"\\" + name;
            SetFileAttributesW(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                remove_test_tree(inner);
            else if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryW(inner.c_str());
            else
                DeleteFileW(inner.c_str());
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace trevan::testing
