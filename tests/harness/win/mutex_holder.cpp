// Holds a named mutex until told to stop.
//
//   mutex_holder.exe NAME [--release]
//
// Creates (or opens) the mutex NAME exactly as given, takes ownership, prints
// "ready" and waits until its standard input reaches a line or its end. Then
// it exits, releasing the mutex first only with --release (otherwise the
// mutex is left abandoned). Exit code 0, or 2 when the mutex was not had.
#include <windows.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: mutex_holder NAME [--release]\n");
        return 2;
    }
    bool release = argc > 2 && std::strcmp(argv[2], "--release") == 0;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, argv[1]);
    if (!mutex) {
        std::printf("error %lu\n", GetLastError());
        return 2;
    }
    DWORD wait = WaitForSingleObject(mutex, 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) {
        std::printf("busy\n");
        std::fflush(stdout);
        return 2;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    for (int c; (c = std::getchar()) != EOF && c != '\n';) {
    }
    if (release) ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
