#pragma once

// Starting the setup program: which file, where and how (portable), then the
// start itself and the wait for its end (Windows).

#include <cstdint>
#include <optional>
#include <string>

#include "container/settings.h"
#include "support/core/failure.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace trevan {

// How the setup program is started.
enum class start_method {
    refuse,          // the name is empty or not a bare file name: nothing starts
    create_process,  // a program (".exe" in any letter case): started directly, so
                     // that no file association decides what runs
    shell,           // any other file: through the shell, which shows no box of its own
    msiexec,         // a package of kind "msi": msiexec.exe from the system folder installs it
};

// The setup program to start, where and how.
struct launch_plan {
    std::string name;       // the expanded executable setting
    std::string file;       // the work folder followed by name
    std::string directory;  // the work folder's parent
    start_method method = start_method::refuse;
};

// The plan for this machine: "executable64" on 64-bit Windows, else
// "executable32", expanded against the settings (a missing setting reads as
// empty). work_folder ends in a backslash. Only a bare file name (see
// is_bare_file_name) can name a file directly inside the work folder; any
// other is refused. Throws what the expansion throws.
launch_plan plan_launch(SettingsMap& settings, const std::string& work_folder, bool on_64bit_windows);

// The command line a program started directly receives, as the shell forms
// it: the quoted file, a blank and the parameter text.
std::string direct_command_line(const std::string& file, const std::string& parameter_text);

struct launch_result {
    std::uint32_t exit_code = 0;  // the setup program's, all 32 bits
    // Set when it could not be started, waited for or asked for its exit
    // code ("ShellExecuteEx failed", "WaitForSingleObject failed",
    // "GetExitCodeProcess failed"); the run then ends with 1.
    std::optional<vennic::failure> failure;
};

#ifdef _WIN32
class extracted_files;
struct setup_start;

// Starts the planned program (app/dialect.h: the setup program, or msiexec
// for its package) with its command line and waits for its end. With
// log_ready it logs the program and the parameters first, and the exit code
// at the end. The program starts only when the plan allows it and the
// setup program's file is one of the extracted files, a regular file
// directly inside the work folder held by work_folder_handle; failing that,
// the result is the "ShellExecuteEx failed" failure. The extracted files
// are released once the program has started (or failed to).
launch_result launch_setup_program(const setup_start& start, bool log_ready, HANDLE work_folder_handle,
                                   extracted_files& files);
#endif

}  // namespace trevan
