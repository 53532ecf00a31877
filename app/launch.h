#pragma once

#include <string>

#include "app/settings_map.h"

namespace trevan {

// True when this 32-bit process runs under WOW64 on 64-bit Windows; false on
// 32-bit Windows, where IsWow64Process is missing, when it fails, and in a
// 64-bit process.
bool is_wow64();

// True on 64-bit Windows, for the 32-bit and the 64-bit build alike: decides
// the setup program ("executable64") and the registry view of the uninstall
// key.
bool runs_on_64bit_windows();

// Starts the setup program for this machine from the work folder (which ends
// in a backslash) with the parameter text, in the work folder's parent, and
// waits for it. Returns its exit code with all 32 bits, or 1 after a failure
// it has shown in a message box. With log_ready it logs the file and the
// parameters first. Throws what the expansion of the executable setting
// throws.
int launch_setup_program(SettingsMap& settings, const std::string& work_folder,
                         const std::string& parameter_text, bool log_ready);

}  // namespace trevan
