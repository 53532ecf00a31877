#include "app/launch.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "app/dialect.h"
#include "container/extract.h"
#include "support/core/error_or.h"
#include "support/log/log.h"
#include "support/platform/handle.h"
#include "support/platform/paths.h"

namespace trevan {
namespace {

vennic::failure failed(const char* caption, const char* text, DWORD error) { return {caption, text, error}; }

vennic::failure not_started(DWORD error) { return failed("ShellExecuteEx failed", "Unable to spawn process", error); }

// Whether the held file is a regular file (no folder, no link) whose final
// path lies directly in the held folder.
bool is_regular_file_in(HANDLE file, HANDLE folder) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    if (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return vennic::lies_directly_in(vennic::final_path(file), vennic::final_path(folder));
}

// The started process's handle: the program (the setup program, or
// msiexec) with the command line it receives.
vennic::error_or<vennic::unique_handle> start_directly(const setup_start& start) {
    std::vector<char> writable(start.command_line.begin(), start.command_line.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    // As the shell passes the show mode.
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    // The full path as the application name: no search, no association.
    if (!CreateProcessA(start.program.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        start.plan.directory.c_str(), &startup, &process))
        return vennic::system_error{GetLastError()};
    CloseHandle(process.hThread);
    return vennic::unique_handle(process.hProcess);
}

// The started process's handle; an empty one when the shell ran the file
// without a new process.
vennic::error_or<vennic::unique_handle> start_through_shell(const setup_start& start) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // The failure is shown by the run, as for every other failure.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = start.plan.file.c_str();
    info.lpParameters = start.parameters.c_str();
    info.lpDirectory = start.plan.directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) return vennic::system_error{GetLastError()};
    return vennic::unique_handle(info.hProcess);
}

}  // namespace

launch_result launch_setup_program(const setup_start& start, bool log_ready, HANDLE work_folder_handle,
                                   extracted_files& files) {
    const launch_plan& plan = start.plan;
    if (log_ready) {
        // Empty lines around the two; "%s" with "" keeps the format checker
        // quiet about an empty format.
        vennic::log::writef("%s", "");
        vennic::log::writef("File: %s", start.program.c_str());
        vennic::log::writef("Parameters: %s", start.parameters.c_str());
        vennic::log::writef("%s", "");
    }

    launch_result result;
    if (plan.method == start_method::refuse) {
        result.failure = not_started(ERROR_INVALID_NAME);
        return result;
    }
    // Only a file of this run's extraction, still held since it was written,
    // and lying in the held work folder: the work folder itself, a folder in
    // it or a file reached through a link is never started.
    const HANDLE image = files.find(plan.file);
    if (!image || !is_regular_file_in(image, work_folder_handle)) {
        result.failure = not_started(ERROR_FILE_NOT_FOUND);
        return result;
    }

    vennic::error_or<vennic::unique_handle> process =
        plan.method == start_method::shell ? start_through_shell(start) : start_directly(start);
    // A started program's image is kept from changes by the system itself;
    // the setup program may change the other files. (A file the shell hands
    // to another program is read by it later, and is then protected by the
    // work folder's security alone.)
    files.release();
    if (!process) {
        result.failure = not_started(process.error());
        return result;
    }

    // When the shell ran the file without a new process, there is no handle
    // and the wait fails.
    if (WaitForSingleObject(process->get(), INFINITE) != WAIT_OBJECT_0) {
        result.failure = failed("WaitForSingleObject failed", "Unable to wait for process", GetLastError());
        return result;
    }
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process->get(), &exit_code)) {
        result.failure = failed("GetExitCodeProcess failed", "Unable to get process exit code", GetLastError());
        return result;
    }
    result.exit_code = exit_code;
    if (log_ready) vennic::log::writef("Exit code: %lu (0x%08lX)", exit_code, exit_code);
    return result;
}

}  // namespace trevan
