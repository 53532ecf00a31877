// A demo "setup program" for the demo bootstrapper: it installs nothing and
// reports what it was given in "TrevanDemo-report.txt" in its current
// directory (the bootstrapper starts it in the temporary directory), then
// ends with exit code 0.
#include <windows.h>

#include <cstdio>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR parameters, int) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    FILE* report = std::fopen("TrevanDemo-report.txt", "wb");
    if (!report) return 2;
    std::fprintf(report,
                 "setup program: %s (%d-bit build)\r\n"
                 "directory:     %s\r\n"
                 "parameters:    %s\r\n",
                 program, static_cast<int>(sizeof(void*) * 8), directory, parameters);
    std::fclose(report);
    return 0;
}
