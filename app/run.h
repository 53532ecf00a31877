#pragma once

#include <windows.h>

#include "app/own_file.h"

namespace trevan {

// One whole setup run: everything WinMain does after opening the program's
// own file (own), whose container it extracts. Returns the process exit
// code (the setup program's, or 1 after a failure). Never throws.
int run(HINSTANCE instance, const char* command_line, const own_file& own);

}  // namespace trevan
