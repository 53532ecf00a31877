#include "app/dll_search.h"

#include <windows.h>

namespace trevan {

void restrict_dll_search() {
    typedef BOOL(WINAPI * set_default_dll_directories_fn)(DWORD);
    // Looked up at run time: Windows 7 has it only with KB2533623.
    auto set_default_dll_directories = reinterpret_cast<set_default_dll_directories_fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "SetDefaultDllDirectories")));
    if (set_default_dll_directories && set_default_dll_directories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
    SetDllDirectoryW(L"");
}

}  // namespace trevan
