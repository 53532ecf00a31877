#pragma once

// Starting the setup program: which file and where (portable), then the
// start itself and the wait for its end (Windows).

#include <cstdint>
#include <optional>
#include <string>

#include "container/settings.h"
#include "support/core/failure.h"

namespace trevan {

// The setup program to start and the folder it starts in.
struct launch_plan {
    std::string file;       // the work folder followed by the expanded executable setting
    std::string directory;  // the work folder's parent
};

// The plan for this machine: "executable64" on 64-bit Windows, else
// "executable32", expanded against the settings (a missing setting reads as
// empty). work_folder ends in a backslash. Throws what the expansion throws.
launch_plan plan_launch(SettingsMap& settings, const std::string& work_folder, bool on_64bit_windows);

struct launch_result {
    std::uint32_t exit_code = 0;  // the setup program's, all 32 bits
    // Set when it could not be started, waited for or asked for its exit
    // code ("ShellExecuteEx failed", "WaitForSingleObject failed",
    // "GetExitCodeProcess failed"); the run then ends with 1.
    std::optional<vennic::failure> failure;
};

#ifdef _WIN32
// Starts the planned program with the parameter text and waits for its end.
// With log_ready it logs the file and the parameters first.
launch_result launch_setup_program(const launch_plan& plan, const std::string& parameter_text, bool log_ready);
#endif

}  // namespace trevan
