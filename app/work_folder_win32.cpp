#include "app/work_folder.h"

#include <windows.h>

#include <ctime>

#include "support/platform/handle.h"

namespace trevan {
namespace {

// How many names after the first a run tries before it gives up on making a
// fresh work folder.
constexpr int max_name_attempts = 100;

// Owns a FindFirstFileA search handle.
class find_handle {
public:
    explicit find_handle(HANDLE h) : h_(h) {}
    find_handle(const find_handle&) = delete;
    find_handle& operator=(const find_handle&) = delete;
    ~find_handle() {
        if (valid()) FindClose(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Owns a handle of a file or folder to be removed.
class entry_handle {
public:
    enum purpose { inspect, remove };

    // Opens the entry itself, never what a link points to; others may keep
    // reading, writing and deleting meanwhile. A handle to inspect only (no
    // right to delete) does not stop others from listing a folder.
    entry_handle(const std::string& path, purpose p)
        : handle_(CreateFileA(path.c_str(), (p == remove ? DELETE : 0) | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr)) {}
    bool valid() const { return static_cast<bool>(handle_); }

    // The full path of what the handle refers to, links in it resolved;
    // empty when the system cannot tell.
    std::wstring final_path() const {
        std::wstring path(MAX_PATH, L'\0');
        for (;;) {
            DWORD n = GetFinalPathNameByHandleW(handle_.get(), &path[0], static_cast<DWORD>(path.size()),
                                                FILE_NAME_NORMALIZED);
            if (n == 0) return std::wstring();
            if (n < path.size()) return path.substr(0, n);
            path.assign(n + 1, L'\0');
        }
    }

    bool is_link() const {
        FILE_ATTRIBUTE_TAG_INFO info = {};
        return GetFileInformationByHandleEx(handle_.get(), FileAttributeTagInfo, &info, sizeof info) &&
               (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

    // Marks the entry for deletion when the last handle closes. Fails for
    // read-only files and for folders that are not empty.
    bool mark_for_deletion() const {
        FILE_DISPOSITION_INFO info = {TRUE};
        return SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &info, sizeof info) != 0;
    }

private:
    vennic::unique_handle handle_;
};

bool same_path(const std::wstring& a, const std::wstring& b) {
    return !a.empty() && CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring parent_of(const std::wstring& path) {
    std::wstring::size_type pos = path.rfind(L'\\');
    return pos == std::wstring::npos ? std::wstring() : path.substr(0, pos);
}

// Whether the handle refers to an entry that lies directly in the folder
// whose final path is given, rather than to something a link leads to (a
// system that cannot open links themselves resolves them on open).
bool lies_in(const entry_handle& entry, const std::wstring& folder) {
    return same_path(parent_of(entry.final_path()), folder);
}

// Deletes one file or link that must lie in the folder; the result is not
// needed.
void delete_entry(const std::string& path, const std::wstring& folder) {
    entry_handle entry(path, entry_handle::remove);
    if (entry.valid() && lies_in(entry, folder)) entry.mark_for_deletion();
}

// Empties and removes the folder; true when it is gone. With a parent given
// (the parent's final path), the folder must lie directly in it.
bool remove_folder(const std::string& folder, const std::wstring& parent) {
    std::wstring folder_path;
    {
        entry_handle handle(folder, entry_handle::inspect);
        if (!handle.valid()) return false;
        // A folder that became a link since it was listed is not entered.
        if (handle.is_link() || (!parent.empty() && !lies_in(handle, parent))) return false;
        folder_path = handle.final_path();
    }
    if (folder_path.empty()) return false;

    std::string base = folder;
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
    WIN32_FIND_DATAA entry;
    {
        find_handle search(FindFirstFileA((base + "*").c_str(), &entry));
        if (!search.valid()) return false;
        do {
            const std::string path = base + entry.cFileName;
            const DWORD attributes = entry.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // "." and "..", and any folder whose name starts with a dot.
                if (entry.cFileName[0] == '.') continue;
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    delete_entry(path, folder_path);  // a link to a folder: never entered
                else
                    remove_folder(path, folder_path);
            } else {
                // Files and file links alike: a link is deleted as a link.
                delete_entry(path, folder_path);
            }
        } while (FindNextFileA(search.get(), &entry));
    }

    // Deleted through a handle that is checked to be the folder just emptied.
    entry_handle handle(folder, entry_handle::remove);
    return handle.valid() && !handle.is_link() && same_path(handle.final_path(), folder_path) &&
           handle.mark_for_deletion();
}

}  // namespace

std::string temp_path() {
    char buffer[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, buffer);
    // A path that does not fit is reported by its needed size, with nothing
    // usable in the buffer: the same as no path at all.
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(buffer, length);
}

vennic::failure no_temp_path_failure() {
    return {"GetTempPath failed", "Unable to get Temporary Directory", 0};
}

work_folder_result make_work_folder(const std::string& temp) {
    // Makes the fallback folder exist; an existing folder is no error.
    CreateDirectoryA(temp.c_str(), nullptr);

    // The run starts its setup program elevated from this folder, so it must
    // be one this run created: an existing folder of the same name may hold
    // files planted by someone else.
    work_folder_result result;
    DWORD error = 0;
    const long long now = static_cast<long long>(std::time(nullptr));
    for (int attempt = 0; attempt <= max_name_attempts; ++attempt) {
        std::string folder = temp + work_folder_name(now + attempt);
        if (CreateDirectoryA(folder.c_str(), nullptr)) {
            if (SetCurrentDirectoryA(folder.c_str())) {
                result.path = folder;
                return result;
            }
            error = GetLastError();
            break;
        }
        error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS) break;
    }
    result.failure = vennic::failure{"SetCurrentDirectory failed", "Unable to set Working Directory", error};
    return result;
}

bool remove_tree(const std::string& folder) {
    // Every deletion goes through a handle of the entry itself, checked to lie
    // in the folder being emptied: nothing a link points to is ever deleted,
    // also when an entry is swapped for a link while the tree is removed.
    return remove_folder(folder, std::wstring());
}

}  // namespace trevan
