#pragma once

// Starting the setup program: which file, where and how, and what the start
// made of it (the start itself and the wait are in launch_win32.h).

#include <cstdint>
#include <optional>
#include <string>

#include "container/settings.h"
#include "support/core/failure.h"

namespace trevan {

// How the setup program is started. No file association ever decides what
// runs: the elevated run never asks the shell.
enum class start_method {
    refuse,          // the name is empty, not a bare file name, or of a type
                     // that is neither a program nor a Windows Installer
                     // package: nothing starts
    create_process,  // a program (".exe" in any letter case): started directly
    msiexec,         // a package (".msi" in any letter case): the system
                     // folder's msiexec.exe started directly with "/i"
};

// The setup program to start, where and how.
struct launch_plan {
    std::string name;       // the expanded executable setting
    std::string file;       // the work folder followed by name
    std::string directory;  // the work folder, without its trailing backslash
    start_method method = start_method::refuse;
    // The expansion would pass the command-line limit (expand.h); the
    // method is then refuse.
    bool over_limit = false;
};

// The plan for this machine: "executable64" on 64-bit Windows, else
// "executable32", expanded against the settings (a missing setting reads as
// empty). work_folder ends in a backslash. Only a bare file name (see
// is_bare_file_name) can name a file directly inside the work folder; any
// other is refused, and so is any type but ".exe" and ".msi". Throws only
// std::bad_alloc.
launch_plan plan_launch(SettingsMap& settings, const std::string& work_folder, bool on_64bit_windows);

// The command line a program started directly receives: the quoted file,
// and a blank and the parameter text when there is one.
std::string direct_command_line(const std::string& file, const std::string& parameter_text);

// What msiexec.exe receives behind its own quoted path for a package: "/i",
// the quoted file, and a blank and the parameter text when there is one.
std::string msiexec_arguments(const std::string& file, const std::string& parameter_text);

struct launch_result {
    std::uint32_t exit_code = 0;  // the setup program's, all 32 bits
    // Set when it could not be started, waited for or asked for its exit
    // code ("ShellExecuteEx failed", "WaitForSingleObject failed",
    // "GetExitCodeProcess failed"); the run then ends with 1.
    std::optional<vennic::failure> failure;
};

}  // namespace trevan
