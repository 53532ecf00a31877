#pragma once

// What the run needs to know about the machine it runs on (Windows).

namespace trevan {

// True when this 32-bit process runs under WOW64 on 64-bit Windows; false on
// 32-bit Windows, where IsWow64Process is missing, when it fails, and in a
// 64-bit process.
bool is_wow64();

// True on 64-bit Windows, for the 32-bit and the 64-bit build alike: decides
// the setup program ("executable64") and the registry view of the uninstall
// key.
bool runs_on_64bit_windows();

// Whether someone can see this process's windows: its window station is
// visible (WSF_VISIBLE in UOI_FLAGS), as the interactive WinSta0 is and the
// window stations of services and of SYSTEM in session 0 are not. When the
// system does not say, the answer is yes.
bool has_interactive_window_station();

}  // namespace trevan
