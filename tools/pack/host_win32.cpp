#include "tools/pack/host.h"

#include <io.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "container/file_reader.h"
#include "support/platform/handle.h"
#include "support/platform/system_error_text.h"
#include "support/platform/unicode.h"

namespace trevan::pack {
namespace {

constexpr std::size_t max_output = 64u << 10;

// UTF-16 as UTF-8; nothing for a lone surrogate.
std::optional<std::string> utf8_of(const wchar_t* text, int length) {
    if (length == 0) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::nullopt;
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text, length, out.data(), size, nullptr, nullptr);
    return out;
}

// bytes of code_page in UTF-16; flags as MultiByteToWideChar takes them.
std::optional<std::wstring> utf16_of(std::string_view bytes, unsigned code_page, DWORD flags) {
    if (bytes.empty()) return std::wstring();
    if (bytes.size() > 0x7FFFFFFFu) return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(code_page, flags, bytes.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(code_page, flags, bytes.data(), length, out.data(), size);
    return out;
}

}  // namespace

std::optional<std::vector<std::string>> utf8_arguments(int, char**) {
    int count = 0;
    struct local_free {
        void operator()(wchar_t** p) const { LocalFree(p); }
    };
    const std::unique_ptr<wchar_t*, local_free> wide(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!wide) return std::nullopt;
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        std::optional<std::string> argument = utf8_of(wide.get()[i], static_cast<int>(wcslen(wide.get()[i])));
        if (!argument) return std::nullopt;
        arguments.push_back(std::move(*argument));
    }
    return arguments;
}

std::filesystem::path native_path(const std::string& path) { return std::filesystem::u8path(path); }

std::FILE* open_file(const std::string& path, const char* mode) {
    const std::wstring wide_mode(mode, mode + std::strlen(mode));
    return _wfopen(native_path(path).c_str(), wide_mode.c_str());
}

// The handle is the input file's own; the reader only borrows it.
struct input_file::held {
    explicit held(const std::string& path)
        : file(CreateFileW(native_path(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr)),
          error(file ? 0 : GetLastError()),
          reader(file_reader::borrowed{file ? file.get() : INVALID_HANDLE_VALUE}) {}
    vennic::unique_handle file;
    unsigned long error;
    file_reader reader;
};

input_file::input_file(const std::string& path) : held_(std::make_unique<held>(path)) {}
input_file::~input_file() = default;
bool input_file::is_open() const { return static_cast<bool>(held_->file); }
unsigned long input_file::open_error() const { return held_->error; }
archive_reader& input_file::reader() { return held_->reader; }

std::optional<std::string> from_utf8(std::string_view text, unsigned code_page) {
    const std::optional<std::wstring> wide = utf16_of(text, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (!wide) return std::nullopt;
    if (wide->empty()) return std::string();
    const int length = static_cast<int>(wide->size());
    BOOL used_default = FALSE;
    const int size = WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide->data(), length, nullptr, 0, nullptr,
                                         &used_default);
    if (size <= 0 || used_default) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, wide->data(), length, bytes.data(), size, nullptr,
                        &used_default);
    // Exact only when the bytes read back as the same text.
    const std::optional<std::wstring> again = utf16_of(bytes, code_page, MB_ERR_INVALID_CHARS);
    if (used_default || !again || *again != *wide) return std::nullopt;
    return bytes;
}

std::string to_utf8(std::string_view bytes, unsigned code_page) {
    // The system's own reading, as the program's ANSI calls make it.
    const std::optional<std::wstring> wide = utf16_of(bytes, code_page, 0);
    if (!wide) return std::string(bytes.size(), '?');
    return utf8_of(wide->data(), static_cast<int>(wide->size())).value_or(std::string());
}

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
