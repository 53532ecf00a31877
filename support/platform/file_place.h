#pragma once

// Where an open file or folder lies, told by its handle: its volume and its
// path on that volume, at any length. Final paths have a limit on some
// systems (Wine's stop at MAX_PATH); this has none. Never throws.

#include <windows.h>

#include <string>

namespace vennic {

struct file_place {
    DWORD volume = 0;   // the volume's serial number
    std::wstring path;  // from the volume's root, links along the way resolved
                        // (\Users\x\Temp\VORBELQ1); empty when unknown
};

// The place of what the handle refers to (FileNameInfo); an empty path
// when the system cannot tell.
file_place place_of(HANDLE file);

// Whether entry lies directly in folder, on the same volume: not somewhere
// a link led to. False when either place is unknown.
bool lies_directly_in(const file_place& entry, const file_place& folder);

}  // namespace vennic
