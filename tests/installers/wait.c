/* The custom action of quill.wxs that keeps an installation running while
   a test acts on its files: with the property WAITFOR set to a path, it
   writes the file WAITFOR.started and waits (up to 60 s) until a file
   exists at WAITFOR. */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

__declspec(dllexport) UINT __stdcall Wait(MSIHANDLE install) {
    WCHAR path[MAX_PATH];
    DWORD size = MAX_PATH - 9;
    if (MsiGetPropertyW(install, L"WAITFOR", path, &size) != ERROR_SUCCESS || size == 0) return ERROR_SUCCESS;
    WCHAR started[MAX_PATH];
    lstrcpyW(started, path);
    lstrcatW(started, L".started");
    HANDLE mark = CreateFileW(started, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (mark != INVALID_HANDLE_VALUE) CloseHandle(mark);
    for (int i = 0; i < 6000 && GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(10);
    return ERROR_SUCCESS;
}
