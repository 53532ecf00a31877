#include "tools/pack/host.h"

#include <io.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "support/platform/handle.h"
#include "support/platform/system_error_text.h"
#include "support/platform/unicode.h"

namespace trevan::pack {
namespace {

constexpr std::size_t max_output = 64u << 10;

}  // namespace

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

std::string open_error_text(unsigned long code) { return vennic::system_error_text(code); }

std::filesystem::path own_folder() {
    std::vector<wchar_t> name(MAX_PATH);
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (n == 0) return {};
        if (n < name.size()) return std::filesystem::path(std::wstring(name.data(), n)).parent_path();
        if (name.size() >= 32768) return {};
        name.resize(name.size() * 2);
    }
}

std::string shell_quoted(const std::string& path) { return "\"" + path + "\""; }

command_result run_shell_command(const std::string& command_line, const std::filesystem::path& folder) {
    command_result result;
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE read_end = nullptr, write_end = nullptr;
    if (!CreatePipe(&read_end, &write_end, &inherited, 0)) return result;
    vennic::unique_handle reading(read_end), writing(write_end);
    SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
    vennic::unique_handle nothing(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                              OPEN_EXISTING, 0, nullptr));

    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return result;
    const std::wstring shell = std::wstring(system, length) + L"\\cmd.exe";
    // /s: cmd takes everything between the first and the last quote as is.
    std::wstring line = L"cmd.exe /d /s /c \"" + vennic::unicode::to_wide(command_line, CP_UTF8) + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing.get();
    startup.hStdOutput = write_end;
    startup.hStdError = write_end;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(shell.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(), &startup, &process))
        return result;
    vennic::unique_handle child(process.hProcess), thread(process.hThread);
    // Ours closed, the pipe ends when the command and its children are done.
    writing.reset();
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(read_end, buffer, sizeof buffer, &n, nullptr) && n > 0)
        if (result.output.size() < max_output)
            result.output.append(buffer, std::min<std::size_t>(n, max_output - result.output.size()));
    DWORD code = 0;
    if (WaitForSingleObject(child.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(child.get(), &code))
        return result;
    result.started = true;
    result.exit_code = static_cast<int>(code);
    return result;
}

}  // namespace trevan::pack
