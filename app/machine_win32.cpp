#include "app/machine.h"

#include <windows.h>

namespace trevan {

bool is_wow64() {
    typedef BOOL(WINAPI * is_wow64_process_fn)(HANDLE, PBOOL);
    // Looked up at run time: systems before XP SP2 lack the function.
    auto is_wow64_process = reinterpret_cast<is_wow64_process_fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    if (!is_wow64_process) return false;
    BOOL flag = FALSE;
    if (!is_wow64_process(GetCurrentProcess(), &flag)) return false;
    return flag != FALSE;
}

bool runs_on_64bit_windows() {
    // A 64-bit process runs only on 64-bit Windows; a 32-bit one asks WOW64.
    return sizeof(void*) == 8 || is_wow64();
}

bool has_interactive_window_station() {
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags = {};
    if (!station || !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, nullptr)) return true;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace trevan
