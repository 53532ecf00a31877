#include "app/launch.h"

#include <windows.h>
#include <shellapi.h>

#include "support/log/log.h"
#include "support/platform/handle.h"

namespace trevan {
namespace {

vennic::failure failed(const char* caption, const char* text, DWORD error) { return {caption, text, error}; }

}  // namespace

launch_result launch_setup_program(const launch_plan& plan, const std::string& parameter_text, bool log_ready) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = plan.file.c_str();
    info.lpParameters = parameter_text.c_str();
    info.lpDirectory = plan.directory.c_str();
    info.nShow = SW_SHOWNORMAL;

    if (log_ready) {
        // Empty lines around the two; "%s" with "" keeps the format checker
        // quiet about an empty format.
        vennic::log::writef("%s", "");
        vennic::log::writef("File: %s", plan.file.c_str());
        vennic::log::writef("Parameters: %s", parameter_text.c_str());
        vennic::log::writef("%s", "");
    }

    launch_result result;
    if (!ShellExecuteExA(&info)) {
        result.failure = failed("ShellExecuteEx failed", "Unable to spawn process", GetLastError());
        return result;
    }
    vennic::unique_handle process(info.hProcess);
    // When the shell ran the file without a new process, there is no handle
    // and the wait fails.
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
        result.failure = failed("WaitForSingleObject failed", "Unable to wait for process", GetLastError());
        return result;
    }
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process.get(), &exit_code)) {
        result.failure = failed("GetExitCodeProcess failed", "Unable to get process exit code", GetLastError());
        return result;
    }
    result.exit_code = exit_code;
    return result;
}

}  // namespace trevan
