// What an unprivileged process of the user can do to the files of a run,
// through Win32 calls as such a process would make them (a rename made from
// Linux passes over Wine's share modes).
//
//   intruder.exe swap PATH OTHER [APPEND-TO]
//
// Renames PATH to PATH.old and copies OTHER to PATH, as someone would who
// wants another file in its place. Writes "swapped", or "refused ERROR" when
// the rename or the copy failed, to standard output and, when given, appends
// that line to the file APPEND-TO. Arguments are taken in UTF-16, so names
// outside the ANSI code page arrive whole. Exit code 0, or 2 for bad
// arguments.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || (argc != 4 && argc != 5) || std::wstring(argv[1]) != L"swap") {
        std::fprintf(stderr, "usage: intruder swap PATH OTHER [APPEND-TO]\n");
        return 2;
    }
    const std::wstring path = argv[2];
    std::string line = "swapped";
    if (!MoveFileExW(path.c_str(), (path + L".old").c_str(), 0) || !CopyFileW(argv[3], path.c_str(), TRUE))
        line = "refused " + std::to_string(GetLastError());
    std::printf("%s\n", line.c_str());
    if (argc == 5) {
        if (FILE* f = _wfopen(argv[4], L"ab")) {
            std::fprintf(f, "%s\n", line.c_str());
            std::fclose(f);
        }
    }
    LocalFree(argv);
    return 0;
}
