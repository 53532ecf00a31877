#include "app/launch.h"

#include <windows.h>
#include <shellapi.h>

#include "app/work_folder.h"
#include "container/expand.h"
#include "support/log/log.h"
#include "support/platform/handle.h"

namespace trevan {

bool is_wow64() {
    typedef BOOL(WINAPI * is_wow64_process_fn)(HANDLE, PBOOL);
    // Looked up at run time: systems before XP SP2 lack the function.
    auto is_wow64_process = reinterpret_cast<is_wow64_process_fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "IsWow64Process")));
    if (!is_wow64_process) return false;
    BOOL flag = FALSE;
    if (!is_wow64_process(GetCurrentProcess(), &flag)) return false;
    return flag != FALSE;
}

bool runs_on_64bit_windows() {
    // A 64-bit process runs only on 64-bit Windows; a 32-bit one asks WOW64.
    return sizeof(void*) == 8 || is_wow64();
}

int launch_setup_program(SettingsMap& settings, const std::string& work_folder,
                         const std::string& parameter_text, bool log_ready) {
    const char* setting = runs_on_64bit_windows() ? "executable64" : "executable32";
    const std::string file = work_folder + expand_references(settings[setting], settings);
    const std::string directory = parent_folder(work_folder);

    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = parameter_text.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_SHOWNORMAL;

    if (log_ready) {
        // Empty lines around the two; "%s" with "" keeps the format checker
        // quiet about an empty format.
        vennic::log::writef("%s", "");
        vennic::log::writef("File: %s", file.c_str());
        vennic::log::writef("Parameters: %s", parameter_text.c_str());
        vennic::log::writef("%s", "");
    }

    if (!ShellExecuteExA(&info)) {
        MessageBoxA(nullptr, "Unable to spawn process", "ShellExecuteEx failed", MB_OK);
        return 1;
    }
    vennic::unique_handle process(info.hProcess);
    // When the shell ran the file without a new process, there is no handle
    // and the wait fails.
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0) {
        MessageBoxA(nullptr, "Unable to wait for process", "WaitForSingleObject failed", MB_OK);
        return 1;
    }
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process.get(), &exit_code)) {
        MessageBoxA(nullptr, "Unable to get process exit code", "GetExitCodeProcess failed", MB_OK);
        return 1;
    }
    return static_cast<int>(exit_code);
}

}  // namespace trevan
