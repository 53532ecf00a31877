#include <windows.h>

#include <cstdlib>

#include "app/dll_search.h"
#include "app/own_file.h"
#include "app/run.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything else can load a library by name.
    trevan::restrict_dll_search();
    // Before anything waits: from here on the program's file cannot be
    // swapped for another (see own_file.h).
    const trevan::own_file own = trevan::open_own_file();
    // The arguments come from the UTF-16 command line: the ANSI text that
    // WinMain is given is a best-fit copy of it (see app/arguments.h).
    return trevan::run(instance, GetCommandLineW(), own);
}

// The runtime's default terminate handler prints the escaping exception's
// demangled type to stderr, which a GUI program does not have, and brings a
// demangler of about 45 KB along. run() lets no exception escape; should
// the process terminate all the same, it ends as abort() ends it.
namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
