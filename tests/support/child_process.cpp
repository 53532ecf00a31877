#include "tests/support/child_process.h"

#include <stdexcept>
#include <vector>

namespace trevan_test {

child_process::child_process(const std::string& command_line) {
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE child_in_read = nullptr, child_in_write = nullptr;
    HANDLE child_out_read = nullptr, child_out_write = nullptr;
    if (!CreatePipe(&child_in_read, &child_in_write, &inheritable, 0))
        throw std::runtime_error("CreatePipe failed");
    vennic::unique_handle in_read(child_in_read);
    to_child_.reset(child_in_write);
    if (!CreatePipe(&child_out_read, &child_out_write, &inheritable, 0))
        throw std::runtime_error("CreatePipe failed");
    from_child_.reset(child_out_read);
    vennic::unique_handle out_write(child_out_write);
    // Only the child's ends are inherited.
    SetHandleInformation(to_child_.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(from_child_.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in_read.get();
    startup.hStdOutput = out_write.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info))
        throw std::runtime_error("CreateProcess failed: " + command_line);
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
}

child_process::~child_process() {
    if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
    }
}

std::string child_process::read_line() {
    std::string line;
    char c;
    DWORD got = 0;
    while (ReadFile(from_child_.get(), &c, 1, &got, nullptr) && got == 1) {
        if (c == '\n') break;
        if (c != '\r') line += c;
    }
    return line;
}

void child_process::send_line() {
    DWORD written = 0;
    WriteFile(to_child_.get(), "\n", 1, &written, nullptr);
}

DWORD child_process::wait(DWORD timeout_ms) {
    if (WaitForSingleObject(process_.get(), timeout_ms) != WAIT_OBJECT_0) return 0xFFFFFFFF;
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

}  // namespace trevan_test
