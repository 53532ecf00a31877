#include "support/platform/plain_file.h"

#include "support/platform/native.h"
#include "support/platform/paths.h"

namespace vennic {
namespace {

// "\\?\C:\x" as "C:\x", "\\?\UNC\server\share\x" as "\\server\share\x".
std::wstring without_long_prefix(const std::wstring& path) {
    if (path.compare(0, 8, L"\\\\?\\UNC\\") == 0) return L"\\\\" + path.substr(8);
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path.substr(4);
    return path;
}

// A folder's path without its trailing backslash, as final paths spell it,
// but a drive's root keeps it ("C:\").
std::wstring without_trailing_backslash(std::wstring path) {
    while (path.size() > 1 && path.back() == L'\\' && !(path.size() == 3 && path[1] == L':')) path.pop_back();
    return path;
}

file_facts facts_of(HANDLE handle) {
    file_facts facts;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return facts;
    facts.attributes = info.dwFileAttributes;
    facts.links = info.nNumberOfLinks;
    if (error_or<std::wstring> path = final_path(handle)) facts.final_path = std::move(*path);
    return facts;
}

bool in_place(const file_facts& facts, const std::wstring& long_path) {
    return same_path(without_long_prefix(facts.final_path), long_path);
}

vennic::error_or<unique_handle> open_file(HANDLE folder, const std::wstring& name, DWORD access, ULONG disposition,
                                          DWORD share) {
    // The reparse point itself is opened, not what it points to; a system
    // that cannot open links themselves resolves them, which the final path
    // then shows.
    return open_at(folder, name,
                   {access, share, disposition, FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT, nullptr});
}

bool names_nothing(unsigned long error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

}  // namespace

bool is_plain_file(const file_facts& facts, const std::wstring& long_path) {
    if (facts.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    // Another name of the same file may lie anywhere on the volume.
    if (facts.links != 1) return false;
    return in_place(facts, long_path);
}

bool is_plain_folder(const file_facts& facts, const std::wstring& long_path) {
    if (!(facts.attributes & FILE_ATTRIBUTE_DIRECTORY) || (facts.attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        return false;
    return in_place(facts, long_path);
}

error_or<unique_handle> open_plain_folder(const std::wstring& path) {
    unique_handle folder(CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) return system_error{GetLastError()};
    // A folder whose place cannot be told cannot be shown plain.
    const error_or<std::wstring> asked = long_path(path);
    if (!asked || !is_plain_folder(facts_of(folder.get()), without_trailing_backslash(*asked)))
        return system_error{ERROR_CANT_ACCESS_FILE};
    return folder;
}

error_or<unique_handle> open_plain_file(HANDLE folder, const std::wstring& name, DWORD access, when_missing missing,
                                        DWORD share) {
    access |= FILE_READ_ATTRIBUTES;
    auto open = [&](ULONG disposition) {
        error_or<unique_handle> file = open_file(folder, name, access, disposition, share);
        // Some file systems refuse delete sharing.
        if (!file && (share & FILE_SHARE_DELETE) && file.error() != ERROR_ALREADY_EXISTS &&
            !names_nothing(file.error()))
            file = open_file(folder, name, access, disposition, share & ~FILE_SHARE_DELETE);
        return file;
    };
    // Never "open if": that creates the target of a link leading nowhere on
    // some systems. A new file is created only where no name exists at all,
    // a dangling link included.
    error_or<unique_handle> file = system_error{ERROR_FILE_NOT_FOUND};
    if (missing == when_missing::create) {
        file = open(FILE_CREATE);
        if (!file && file.error() != ERROR_ALREADY_EXISTS) return file;
    }
    if (!file) file = open(FILE_OPEN);
    if (!file) return file;
    const error_or<std::wstring> folder_path = final_path(folder);
    if (!folder_path) return system_error{ERROR_CANT_ACCESS_FILE};
    std::wstring expected = without_long_prefix(*folder_path);
    if (!expected.empty() && expected.back() != L'\\') expected += L'\\';
    if (!is_plain_file(facts_of(file->get()), expected + name)) return system_error{ERROR_CANT_ACCESS_FILE};
    return file;
}

}  // namespace vennic
