#include "app/launch_win32.h"

#include <windows.h>

#include <vector>

#include "app/work_folder.h"
#include "container/extract_win32.h"
#include "support/log/log.h"
#include "support/platform/file_place.h"
#include "support/platform/unicode.h"

namespace trevan {
namespace {

vennic::failure failed(const char* caption, const char* text, vennic::ui_text text_text, DWORD error) {
    return {caption, text, error, {}, text_text, {}};
}

vennic::failure not_started(DWORD error) {
    return failed("ShellExecuteEx failed", "Unable to spawn process", vennic::ui_text::spawn_text, error);
}

// Whether the held file is a regular file (no folder, no link) that lies
// directly in the held folder, as their handles tell at any length.
bool is_regular_file_in(HANDLE file, HANDLE folder) {
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return false;
    if (tag.FileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return false;
    return vennic::lies_directly_in(vennic::place_of(file), vennic::place_of(folder));
}

// The narrow texts of the command line and the folder convert as
// CreateProcessA would convert them; both name only held files and folders
// in their exact or short form.
std::wstring wide(const std::string& text) { return vennic::unicode::to_wide(text, CP_ACP, false); }

// Starts application (a full path: no search, no association) with the
// command line in the planned directory, the held work folder; the started
// process's handle.
vennic::error_or<vennic::unique_handle> start(const std::wstring& application, std::wstring command_line,
                                              const launch_plan& plan) {
    command_line.push_back(L'\0');
    const std::wstring directory = wide(plan.directory);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    // As the shell passes the show mode.
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(application.c_str(), &command_line[0], nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &process))
        return vennic::system_error{GetLastError()};
    CloseHandle(process.hThread);
    return vennic::unique_handle(process.hProcess);
}

}  // namespace

vennic::error_or<vennic::unique_handle> start_msiexec(const launch_plan& plan, const std::string& parameter_text) {
    std::vector<wchar_t> system(MAX_PATH);
    const UINT n = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
    if (n == 0 || n >= system.size()) return vennic::system_error{GetLastError()};
    std::wstring program(system.data(), n);
    if (program.back() != L'\\') program += L'\\';
    program += L"msiexec.exe";
    return start(program, L"\"" + program + L"\" " + wide(msiexec_arguments(plan.file, parameter_text)), plan);
}

launch_result launch_setup_program(const launch_plan& plan, const std::string& parameter_text, bool log_ready,
                                   const work_folder& folder, extracted_files& files) {
    if (log_ready) {
        // Empty lines around the two; "%s" with "" keeps the format checker
        // quiet about an empty format.
        vennic::log::writef("%s", "");
        vennic::log::writef("File: %s", plan.file.c_str());
        vennic::log::writef("Parameters: %s", parameter_text.c_str());
        vennic::log::writef("%s", "");
    }

    launch_result result;
    const std::optional<std::wstring> name = output_name(plan.name);
    if (plan.method == start_method::refuse || !name) {
        result.failure = not_started(ERROR_INVALID_NAME);
        return result;
    }
    // Only a file of this run's extraction, still held since it was written,
    // and lying in the held work folder: the work folder itself, a folder in
    // it or a file reached through a link is never started.
    const HANDLE image = files.find(*name);
    if (!image || !is_regular_file_in(image, folder.handle())) {
        result.failure = not_started(ERROR_FILE_NOT_FOUND);
        return result;
    }

    // A path this long starts no program where the system and the program
    // have not both opted in to long paths (under Wine in no form, its short
    // form included), and msiexec opens no package there: refused the same
    // way everywhere, before anything starts.
    const std::wstring file = folder.wide_path() + *name;
    if (file.size() >= MAX_PATH) {
        result.failure = not_started(ERROR_FILENAME_EXCED_RANGE);
        return result;
    }

    vennic::error_or<vennic::unique_handle> process =
        plan.method == start_method::create_process
            ? start(file, wide(direct_command_line(plan.file, parameter_text)), plan)
            : start_msiexec(plan, parameter_text);
    // A started program's image is kept from changes by the system itself;
    // the setup program may change the other files. msiexec reads the
    // package later: it stays held until msiexec has ended.
    if (plan.method == start_method::create_process || !process) files.release();
    if (!process) {
        result.failure = not_started(process.error());
        return result;
    }

    if (WaitForSingleObject(process->get(), INFINITE) != WAIT_OBJECT_0) {
        result.failure = failed("WaitForSingleObject failed", "Unable to wait for process", vennic::ui_text::wait_text,
                                GetLastError());
        return result;
    }
    DWORD exit_code = 0;
    if (!GetExitCodeProcess(process->get(), &exit_code)) {
        result.failure = failed("GetExitCodeProcess failed", "Unable to get process exit code",
                                vennic::ui_text::exit_code_text, GetLastError());
        return result;
    }
    result.exit_code = exit_code;
    if (log_ready) vennic::log::writef("Exit code: %lu (0x%08lX)", exit_code, exit_code);
    return result;
}

}  // namespace trevan
