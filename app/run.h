#pragma once

// One whole setup run, in the order of a run, and what a test build may
// change in it. The one place that shows the user anything.

#include <windows.h>

#include "app/own_file.h"
#include "container/extract_win32.h"

namespace trevan {

// What a test build of the program changes in a run; the shipped WinMain
// changes nothing.
struct run_seams {
    // Put over the reader of the program's own file (a slowed one, say).
    archive_wrapper wrap_archive = nullptr;
    // False: the extraction reports no progress and shows no window, as it
    // ran before there was one (the benchmark's baseline).
    bool report_progress = true;
};

// One whole setup run: everything WinMain does after opening the program's
// own file (own), whose container it extracts. command_line is the
// process's whole UTF-16 command line (GetCommandLineW), the program's name
// first; its arguments (program_arguments) are passed on only where the
// ANSI code page holds them exactly. Returns the process exit code (the
// setup program's, ERROR_INSTALL_USEREXIT (1602) when the user cancelled the
// extraction, or 1 after a failure). Never throws.
int run(HINSTANCE instance, const wchar_t* command_line, const own_file& own, const run_seams& seams = {});

}  // namespace trevan
