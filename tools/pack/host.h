#pragma once

// What the pack tool asks of the system it runs on (host_posix.cpp,
// host_win32.cpp).

#include <filesystem>
#include <string>

namespace trevan::pack {

// Whether stderr is a terminal (progress lines go there only then).
bool stderr_is_terminal();

// The system's text for an error code of a failed open (file_reader's
// open_error: errno on POSIX, the Win32 error code on Windows).
std::string open_error_text(unsigned long code);

// The folder the running trevan-pack was started from; empty when the
// system does not say.
std::filesystem::path own_folder();

// path as one word of a command line for the shell below: in single
// quotes for /bin/sh, in double quotes for cmd.exe (where a path holds
// none).
std::string shell_quoted(const std::string& path);

struct command_result {
    bool started = false;  // false: the shell could not be started
    int exit_code = -1;    // the command's exit code (128 + N for a signal N)
    std::string output;    // what it wrote to stdout and stderr, interleaved
};

// Runs command_line (UTF-8) through the system's shell, /bin/sh -c or
// cmd.exe /d /s /c from the system folder, in folder, with nothing on its
// stdin, and waits for it. Its output is collected, up to 64 KiB.
command_result run_shell_command(const std::string& command_line, const std::filesystem::path& folder);

}  // namespace trevan::pack
