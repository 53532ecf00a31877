#pragma once

// A helper program started by a test, with its standard input and output
// connected to the test. Test-only.
#include <windows.h>

#include <string>

#include "support/platform/handle.h"

namespace trevan_test {

class child_process {
public:
    // Starts command_line; throws std::runtime_error when it cannot.
    explicit child_process(const std::string& command_line);
    // Ends a child that is still running.
    ~child_process();

    child_process(const child_process&) = delete;
    child_process& operator=(const child_process&) = delete;

    // The next line of its output without the line end ("" at the end).
    std::string read_line();
    // Sends one empty line to its input.
    void send_line();
    // Waits for its end; its exit code, or 0xFFFFFFFF after timeout_ms.
    DWORD wait(DWORD timeout_ms = 60000);

private:
    vennic::unique_handle process_;
    vennic::unique_handle to_child_;
    vennic::unique_handle from_child_;
};

}  // namespace trevan_test
