#pragma once

// Removing a folder tree where less privileged processes can reach, without
// a path: every entry is listed through its held parent folder, opened by
// its name relative to that folder (never along a path again, so no length
// limit and no name is looked up twice), checked to be no link and to lie
// in that folder, and deleted through its own handle. Never throws.

#include <windows.h>

#include <string>

#include "support/platform/file_identity.h"

namespace vennic {

// Deletes what the held folder (a handle that may list it) contains: files,
// and folders with everything in them. A link (a reparse point) is deleted
// as itself, never followed; an entry that shows as lying elsewhere once
// opened (a system that resolves links when it opens them) is left alone.
// Read-only files stay, and so do folders whose names begin with "." with
// all they hold. True when nothing is left.
bool remove_contents(HANDLE folder);

// Deletes the empty folder name (a bare name) in the held parent, but only
// while it is still the folder expected: a folder or link put under the
// name since stays. True when it is deleted.
bool remove_empty_folder(HANDLE parent, const std::wstring& name, const file_identity& expected);

}  // namespace vennic
