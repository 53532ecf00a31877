// A demo "setup program" for the demo bootstrapper: it installs nothing and
// reports what it was given in "TrevanDemo-report.txt" in the temporary
// directory (the bootstrapper starts it in its work folder, which it removes
// afterwards), then ends with exit code 0.
#include <windows.h>

#include <cstdio>
#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR parameters, int) {
    char program[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    char directory[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, directory);
    char temp[MAX_PATH] = {};
    const DWORD n = GetTempPathA(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH - 24) return 2;
    std::strcat(temp, "TrevanDemo-report.txt");
    FILE* report = std::fopen(temp, "wb");
    if (!report) return 2;
    std::fprintf(report,
                 "setup program: %s (%d-bit build)\r\n"
                 "directory:     %s\r\n"
                 "parameters:    %s\r\n",
                 program, static_cast<int>(sizeof(void*) * 8), directory, parameters);
    std::fclose(report);
    return 0;
}
