#pragma once

// What the pack tool asks of the system it runs on (host_posix.cpp,
// host_win32.cpp).

#include <string>

namespace trevan::pack {

// Whether stderr is a terminal (progress lines go there only then).
bool stderr_is_terminal();

// The system's text for an error code of a failed open (file_reader's
// open_error: errno on POSIX, the Win32 error code on Windows).
std::string open_error_text(unsigned long code);

}  // namespace trevan::pack
