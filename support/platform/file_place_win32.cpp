#include "support/platform/file_place.h"

#include <cstddef>
#include <vector>

#include "support/platform/paths.h"

namespace vennic {

file_place place_of(HANDLE file) {
    file_place where;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return where;
    // The longest path the system takes, behind the length field.
    std::vector<ULONG> buffer((sizeof(ULONG) + 32768 * sizeof(wchar_t)) / sizeof(ULONG) + 1);
    const DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ULONG));
    auto* name = reinterpret_cast<FILE_NAME_INFO*>(buffer.data());
    if (!GetFileInformationByHandleEx(file, FileNameInfo, name, size) ||
        name->FileNameLength > size - offsetof(FILE_NAME_INFO, FileName))
        return where;
    where.volume = info.dwVolumeSerialNumber;
    where.path.assign(name->FileName, name->FileNameLength / sizeof(wchar_t));
    return where;
}

bool lies_directly_in(const file_place& entry, const file_place& folder) {
    if (entry.path.empty() || folder.path.empty() || entry.volume != folder.volume) return false;
    std::wstring parent = folder.path;
    if (parent.back() != L'\\') parent += L'\\';
    const std::wstring::size_type slash = entry.path.rfind(L'\\');
    return slash != std::wstring::npos && same_path(entry.path.substr(0, slash + 1), parent);
}

}  // namespace vennic
