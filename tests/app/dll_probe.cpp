// Test program for the library search: makes the program's start-up
// restriction (unless told not to), then loads a library by its bare name,
// which exists only beside this program. The exit code tells the result.
//
//   dll_probe.exe [--unprotected]     0 not loaded, 1 loaded
#include <windows.h>

#include <cstring>

#include "app/dll_search.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR command_line, int) {
    if (!command_line || !std::strstr(command_line, "--unprotected")) trevan::restrict_dll_search();
    return LoadLibraryA("trevan_planted.dll") ? 1 : 0;
}
