#pragma once

// The start of the setup program on Windows and the wait for its end: only
// a held file directly in the held work folder starts, a package through
// the system folder's msiexec.

#include <windows.h>

#include <string>

#include "app/launch.h"
#include "support/core/error_or.h"
#include "support/platform/handle.h"

namespace trevan {

class extracted_files;
class work_folder;

// Starts the planned program with the parameter text and waits for its end.
// With log_ready it logs the file and the parameters first, and the exit
// code when the program has ended. The program
// starts only when the plan allows it and its file is one of the extracted
// files, a regular file directly inside the held work folder; failing
// that, the result is the "ShellExecuteEx failed" failure, as it is for a
// file whose path is MAX_PATH characters or more (ERROR_FILENAME_EXCED_RANGE:
// nothing starts from there). A program starts with CreateProcessW from the
// held file's UTF-16 path; a package through start_msiexec; either in the
// planned directory, the held work folder. The extracted files are released once a program has
// started (the system then keeps its image from changes), for a package
// only once msiexec has ended (it reads the files meanwhile).
launch_result launch_setup_program(const launch_plan& plan, const std::string& parameter_text, bool log_ready,
                                   const work_folder& folder, extracted_files& files);

// Starts "<system folder>\msiexec.exe" (GetSystemDirectoryW, never a
// search) with msiexec_arguments for the planned file and the parameter
// text; the started process, or the system's code.
vennic::error_or<vennic::unique_handle> start_msiexec(const launch_plan& plan, const std::string& parameter_text);

}  // namespace trevan
