#include "app/launch.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "container/extract.h"
#include "support/log/log.h"
#include "support/platform/handle.h"

namespace trevan {
namespace {

vennic::failure failed(const char* caption, const char* text, DWORD error) { return {caption, text, error}; }

vennic::failure not_started(DWORD error) { return failed("ShellExecuteEx failed", "Unable to spawn process", error); }

// Empty when the system cannot tell.
std::wstring final_path(HANDLE h) {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD n = GetFinalPathNameByHandleW(h, path.data(), static_cast<DWORD>(path.size()), FILE_NAME_NORMALIZED);
        if (n == 0) return std::wstring();
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(n + 1);
    }
}

// Whether the held file is a regular file (no folder, no link) whose final
// path lies directly in the held folder.
bool is_regular_file_in(HANDLE file, HANDLE folder) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    if (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    const std::wstring file_path = final_path(file);
    const std::wstring folder_path = final_path(folder);
    const std::wstring::size_type slash = file_path.rfind(L'\\');
    if (folder_path.empty() || slash == std::wstring::npos) return false;
    return CompareStringOrdinal(file_path.c_str(), static_cast<int>(slash), folder_path.c_str(),
                                static_cast<int>(folder_path.size()), TRUE) == CSTR_EQUAL;
}

// The started process's handle, or none with error set.
vennic::unique_handle start_directly(const launch_plan& plan, const std::string& parameter_text, DWORD& error) {
    std::string command_line = direct_command_line(plan.file, parameter_text);
    std::vector<char> writable(command_line.begin(), command_line.end());
    writable.push_back('\0');
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    // As the shell passes the show mode.
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    // The full path as the application name: no search, no association.
    if (!CreateProcessA(plan.file.c_str(), writable.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        plan.directory.c_str(), &startup, &process)) {
        error = GetLastError();
        return vennic::unique_handle();
    }
    CloseHandle(process.hThread);
    return vennic::unique_handle(process.hProcess);
}

// The started process's handle (none when the shell ran the file without a
// new process), or false with error set.
bool start_through_shell(const launch_plan& plan, const std::string& parameter_text, vennic::unique_handle& process,
                         DWORD& error) {
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    // The failure is shown by the run, as for every other failure.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = plan.file.c_str();
    info.lpParameters = parameter_text.c_str();
    info.lpDirectory = plan.directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExA(&info)) {
        error = GetLastError();
        return false;
    }
    process.reset(info.hProcess);
    return true;
}

}  // namespace

launch_result launch_setup_program(const launch_plan& plan, const std::string& parameter_text, bool log_ready,
                                   HANDLE work_folder_handle, extracted_files& files) {
    if (log_ready) {
        // Empty lines around the two; "%s" with "" keeps the format checker
        // quiet about an empty format.
        vennic::log::writef("%s", "");
        vennic::log::writef("File: %s", plan.file.c_str());
        vennic::log::writef("Parameters: %s", parameter_text.c_str());
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

    vennic::unique_handle process;
    DWORD error = 0;
    bool started = false;
    if (plan.method == start_method::create_process) {
        process = start_directly(plan, parameter_text, error);
        started = static_cast<bool>(process);
    } else {
        started = start_through_shell(plan, parameter_text, process, error);
    }
    // A started program's image is kept from changes by the system itself;
    // the setup program may change the other files. (A file the shell hands
    // to another program is read by it later, and is then protected by the
    // work folder's security alone.)
    files.release();
    if (!started) {
        result.failure = not_started(error);
        return result;
    }

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
