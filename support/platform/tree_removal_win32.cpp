#include "support/platform/tree_removal.h"

#include <vector>

#include "support/platform/file_place.h"
#include "support/platform/handle.h"
#include "support/platform/native.h"

namespace vennic {
namespace {

struct listed_entry {
    std::wstring name;
    DWORD attributes = 0;
};

// Every entry of the held folder but "." and "..", read through the handle
// in full before anything is deleted: deleting while listing may make a
// file system skip entries. Nothing when the listing fails.
bool list_folder(HANDLE folder, std::vector<listed_entry>& entries) {
    // FILE_ID_BOTH_DIR_INFO holds 64-bit fields: the buffer is aligned for
    // them.
    std::vector<ULONGLONG> buffer(64 * 1024 / sizeof(ULONGLONG));
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG));
    const unsigned char* const bytes = reinterpret_cast<const unsigned char*>(buffer.data());
    for (bool first = true;; first = false) {
        if (!GetFileInformationByHandleEx(folder, first ? FileIdBothDirectoryRestartInfo : FileIdBothDirectoryInfo,
                                          buffer.data(), size)) {
            // A file system may answer the first query of an empty folder so.
            const DWORD error = GetLastError();
            return error == ERROR_NO_MORE_FILES || (first && error == ERROR_FILE_NOT_FOUND);
        }
        const DWORD name_at = offsetof(FILE_ID_BOTH_DIR_INFO, FileName);
        for (DWORD offset = 0;;) {
            if (offset > size - name_at) return false;
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes + offset);
            if (info->FileNameLength > size - offset - name_at) return false;
            const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..") entries.push_back({name, info->FileAttributes});
            if (info->NextEntryOffset == 0) break;
            offset += info->NextEntryOffset;
        }
    }
}

// The entry itself, never what a link leads to, for deleting; others may
// keep reading, writing and deleting it meanwhile. A folder is opened to
// be listed too.
unique_handle open_entry(HANDLE parent, const std::wstring& name, bool as_folder) {
    const ACCESS_MASK access = DELETE | FILE_READ_ATTRIBUTES | (as_folder ? FILE_LIST_DIRECTORY : 0u);
    error_or<unique_handle> entry =
        open_at(parent, name,
                {access,
                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN,
                 FILE_OPEN_REPARSE_POINT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr});
    return entry ? std::move(*entry) : unique_handle();
}

DWORD attributes_of(HANDLE entry) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(entry, FileAttributeTagInfo, &tag, sizeof tag)) return INVALID_FILE_ATTRIBUTES;
    return tag.FileAttributes;
}

// Marks the entry for deletion when its last handle closes. Fails for
// read-only files and for folders that are not empty.
bool mark_for_deletion(HANDLE entry) {
    FILE_DISPOSITION_INFO info = {TRUE};
    return SetFileInformationByHandle(entry, FileDispositionInfo, &info, sizeof info) != 0;
}

// Folders nested deeper than this stay: relative opens know no path limit,
// and each level costs the removal stack.
constexpr int max_depth = 1000;

bool remove_contents_of(HANDLE folder, const file_place& folder_place, int depth) {
    std::vector<listed_entry> entries;
    if (depth > max_depth || folder_place.path.empty() || !list_folder(folder, entries)) return false;
    bool all_gone = true;
    for (const listed_entry& listed : entries) {
        const bool listed_as_folder = (listed.attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                      !(listed.attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        const unique_handle entry = open_entry(folder, listed.name, listed_as_folder);
        const DWORD attributes = entry ? attributes_of(entry.get()) : INVALID_FILE_ATTRIBUTES;
        // Where opening resolved a link after all, the handle is of what it
        // leads to, somewhere else: never touched.
        const file_place entry_place = entry ? place_of(entry.get()) : file_place();
        if (attributes == INVALID_FILE_ATTRIBUTES || !lies_directly_in(entry_place, folder_place)) {
            all_gone = false;
            continue;
        }
        const bool is_folder =
            (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
        if (is_folder) {
            // Listed as a file, it was opened without the right to list it.
            if (listed.name[0] == L'.' || !listed_as_folder ||
                !remove_contents_of(entry.get(), entry_place, depth + 1)) {
                all_gone = false;
                continue;
            }
        }
        // A file, an emptied folder, or a link as itself.
        if (!mark_for_deletion(entry.get())) all_gone = false;
    }
    return all_gone;
}

}  // namespace

bool remove_contents(HANDLE folder) { return remove_contents_of(folder, place_of(folder), 0); }

bool remove_empty_folder(HANDLE parent, const std::wstring& name, const file_identity& expected) {
    const unique_handle folder = open_entry(parent, name, false);
    if (!folder) return false;
    const DWORD attributes = attributes_of(folder.get());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && identity_of(folder.get()) == expected &&
           mark_for_deletion(folder.get());
}

}  // namespace vennic
