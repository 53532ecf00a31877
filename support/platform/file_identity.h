#pragma once

// Which file or folder a handle refers to, whatever name it was opened by:
// the volume's serial number and the file's index on it. Two identities are
// equal only when both are known.

#include <windows.h>

namespace vennic {

struct file_identity {
    DWORD volume = 0;
    DWORD index_high = 0;
    DWORD index_low = 0;
    bool known = false;

    bool operator==(const file_identity& other) const {
        return known && other.known && volume == other.volume && index_high == other.index_high &&
               index_low == other.index_low;
    }
    bool operator!=(const file_identity& other) const { return !(*this == other); }
};

// The identity of an open file or folder; not known when the system cannot
// tell (the handle needs FILE_READ_ATTRIBUTES).
inline file_identity identity_of(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info;
    file_identity id;
    if (!GetFileInformationByHandle(handle, &info)) return id;
    id.volume = info.dwVolumeSerialNumber;
    id.index_high = info.nFileIndexHigh;
    id.index_low = info.nFileIndexLow;
    id.known = true;
    return id;
}

}  // namespace vennic
