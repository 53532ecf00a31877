#pragma once

// Where the process looks for libraries loaded by name (Windows).

namespace trevan {

// Restricts the library search of this process to the system folder, so
// that no library planted beside the program (in a downloads folder, say) or
// in the current directory is loaded into it, also when the system itself
// loads libraries late. Call it first thing, before anything loads a
// library. Systems without SetDefaultDllDirectories (Windows 7 without its
// update) only lose the current directory from the search.
void restrict_dll_search();

}  // namespace trevan
