#pragma once

// The program's own file, which carries the container: the very file the
// running image was mapped from, opened first thing in WinMain and held for
// the whole run (Windows).

#include <windows.h>

#include <string>

#include "support/core/error_or.h"
#include "support/platform/handle.h"

namespace trevan {

struct own_file {
    // The path, only for messages: the system's UTF-16 path in the ANSI code
    // page, look-alikes allowed.
    std::string path;
    // Held for reading and shared only for reading, so that nobody renames,
    // deletes or changes the file while it is held. Or the system's code
    // when it could not be opened, and ERROR_FILE_INVALID when it is not the
    // file the image was mapped from.
    vennic::error_or<vennic::unique_handle> file = vennic::system_error{ERROR_INVALID_HANDLE};
};

// Opens the file at the path the system gives for the program in UTF-16
// (GetModuleFileNameW: no look-alike of a name outside the code page can
// name another file), and keeps it only when is_running_image proves it. Call
// it before anything that waits: from then on the file cannot be swapped.
own_file open_own_file();

// Whether file is the very file the running image was mapped from, asked of
// the system as mapped files (a view of file against the image): the same
// file under any name, but never a copy, nor a file put at the program's
// path after it started.
bool is_running_image(HANDLE file);

}  // namespace trevan
