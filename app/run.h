#pragma once

#include <windows.h>

namespace trevan {

// One whole setup run: everything WinMain does. Returns the process exit
// code (the setup program's, or 1 after a failure). Never throws.
int run(HINSTANCE instance, const char* command_line);

}  // namespace trevan
