#!/usr/bin/python3
"""Checks what the loader resolves for a built program before WinMain, when
the program cannot yet restrict the library search (the program's folder, a
downloads folder anyone may write, comes first in it):

- every DLL the import table names is a KnownDLL of every Windows from 7 to
  11: the loader then takes the system's own copy, and the copies of that
  DLL's dependencies, without searching;
- no import is one that such a DLL forwards to a DLL that is not known (the
  loader resolves a forwarder by a search of its own, the program's folder
  first: ADVAPI32!SystemFunction036 loaded CRYPTBASE.dll from it);
- every import is one someone has looked at: a new DLL!function fails here
  until it is reviewed for what it forwards to on Windows 7 to 11 and added
  to REVIEWED;
- there are no delay imports and no imports by ordinal, which cannot be
  reviewed by name.

    check_imports.py PROGRAM...
    check_imports.py --self-test
"""
import sys

# The KnownDLLs common to Windows 7 SP1, 8.1, 10 and 11: the values under
# HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\KnownDLLs that every
# one of them ships (Windows 7 adds lpk, usp10, urlmon, wininet, iertutil and
# difxapi; Windows 10 and 11 add combase, coml2, gdiplus and shcore, and the
# WOW64 layers). How the loader uses them: "Dynamic-link library search
# order", https://learn.microsoft.com/windows/win32/dlls/dynamic-link-library-search-order
# ("Known DLLs": the system uses its copy of the known DLL and the known
# DLL's dependent DLLs). ntdll.dll is mapped into every process first.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll",
    "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll",
    "ws2_32.dll",
}

# Exports of KnownDLLs that Windows forwards to a DLL that is no KnownDLL
# and not loaded with them: importing one loads that DLL by a search, from
# the program's folder first. ADVAPI32's SystemFunctionNNN, as the export
# table of Windows 10's advapi32.dll lists them (dumpbin /exports);
# SystemFunction036 (RtlGenRandom) is forwarded to CRYPTBASE.dll from
# Windows 7 on. The other functions of both builds' imports are not
# forwarded there.
FORWARDERS = {}
for number in (1, 2, 3, 4, 5, 28, 29, 34, 36, 40, 41):
    FORWARDERS[("advapi32.dll", f"SystemFunction{number:03}")] = "cryptbase.dll"
for number in (6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 18, 20, 21, 22, 23, 24, 25, 26, 27, 30, 31, 32, 33, 35):
    FORWARDERS[("advapi32.dll", f"SystemFunction{number:03}")] = "cryptsp.dll"

# Every import of the two builds, reviewed: each is implemented in its DLL,
# or forwarded to ntdll.dll, to a dependency that the system maps with its
# KnownDLL (kernelbase.dll, sechost.dll, gdi32full.dll, win32u.dll,
# windows.storage.dll), or to an API set (api-ms-win-*, resolved by the
# loader's schema, never searched for).
REVIEWED = {
    "advapi32.dll": {
        # Security descriptors and SIDs: the work folder's, the mutex's.
        "AddAccessAllowedAce", "ConvertSidToStringSidA", "ConvertStringSecurityDescriptorToSecurityDescriptorA",
        "CreateWellKnownSid", "GetTokenInformation", "InitializeAcl", "InitializeSecurityDescriptor",
        "OpenProcessToken", "SetSecurityDescriptorDacl",
        # The installer language.
        "RegCloseKey", "RegOpenKeyExW", "RegQueryValueExW",
    },
    # The progress window.
    "gdi32.dll": {
        "CreateFontIndirectW", "DeleteObject", "GetStockObject", "GetTextExtentPoint32W", "GetTextMetricsW",
        "SelectObject",
    },
    "kernel32.dll": {
        "AddVectoredExceptionHandler", "CloseHandle", "CompareStringOrdinal", "CreateDirectoryW", "CreateEventA",
        "CreateEventW", "CreateFileA", "CreateFileMappingW", "CreateFileW", "CreateMutexA", "CreateProcessW",
        "CreateSemaphoreA", "CreateSemaphoreW", "CreateThread", "DeleteCriticalSection", "DuplicateHandle",
        "EnterCriticalSection", "ExpandEnvironmentStringsW", "FindClose", "FindFirstFileW", "FindNextFileW",
        "FormatMessageA", "FreeLibrary", "GetACP", "GetCPInfo", "GetCommandLineW", "GetCurrentProcess",
        "GetCurrentProcessId", "GetCurrentThread", "GetCurrentThreadId", "GetExitCodeProcess",
        "GetFileInformationByHandle", "GetFileInformationByHandleEx", "GetFileSize", "GetFileSizeEx",
        "GetFinalPathNameByHandleW", "GetFullPathNameW", "GetHandleInformation", "GetLastError", "GetLocalTime",
        "GetLongPathNameW", "GetModuleFileNameW", "GetModuleHandleA", "GetModuleHandleW", "GetProcAddress",
        "GetProcessAffinityMask", "GetShortPathNameW", "GetStartupInfoA", "GetSystemDirectoryW",
        "GetSystemTimeAsFileTime", "GetSystemWindowsDirectoryW", "GetTempPathW", "GetThreadContext",
        "GetThreadPriority", "GetTickCount", "GetTickCount64", "GetVersionExA", "GetVolumeInformationByHandleW",
        "InitializeCriticalSection", "IsDebuggerPresent", "LeaveCriticalSection", "LoadLibraryA", "LoadLibraryExW",
        "LocalAlloc", "LocalFree", "LockFileEx", "MapViewOfFile", "MultiByteToWideChar", "OpenMutexA", "OpenProcess",
        "OutputDebugStringA", "RaiseException", "ReOpenFile", "ReadFile", "ReleaseMutex", "ReleaseSemaphore",
        "RemoveVectoredExceptionHandler", "ResetEvent", "ResumeThread", "RtlCaptureContext",
        "RtlLookupFunctionEntry", "RtlUnwindEx", "RtlVirtualUnwind", "SetCurrentDirectoryW", "SetDllDirectoryW",
        "SetEndOfFile", "SetEvent", "SetFileInformationByHandle", "SetFilePointer", "SetLastError",
        "SetProcessAffinityMask", "SetThreadContext", "SetThreadPriority", "SetUnhandledExceptionFilter", "Sleep",
        "SuspendThread", "TlsAlloc", "TlsFree", "TlsGetValue", "TlsSetValue", "TryEnterCriticalSection",
        "UnmapViewOfFile", "VirtualProtect", "VirtualQuery", "WaitForMultipleObjects", "WaitForSingleObject",
        "WideCharToMultiByte", "WriteFile", "__C_specific_handler", "lstrlenA", "lstrlenW",
        # The program's texts in the run's language: implemented in kernel32
        # on Windows 7, forwarded to kernelbase.dll from Windows 8 on.
        "EnumResourceLanguagesW", "FindResourceExW", "GetUserDefaultUILanguage", "LoadResource", "LockResource",
        "SizeofResource",
    },
    # The C runtime of the MinGW start-up code and the standard library.
    "msvcrt.dll": {
        "__getmainargs", "__initenv", "__iob_func", "__p__acmdln", "__p__commode", "__p__fmode", "__set_app_type",
        "__setusermatherr", "_acmdln", "_amsg_exit", "_beginthreadex", "_cexit", "_commode", "_endthreadex",
        "_errno", "_fmode", "_initterm", "_iob", "_onexit", "_setjmp", "_strdup", "_time64", "_ultoa", "_vscprintf",
        "_vscwprintf", "_vsnprintf", "_vsnwprintf", "abort", "calloc", "exit", "fprintf", "free", "fwrite",
        "longjmp", "malloc", "memchr", "memcmp", "memcpy", "memmove", "memset", "printf", "realloc", "signal",
        "strcmp", "strlen", "strncmp", "time", "toupper", "vfprintf", "wcslen",
    },
    "shell32.dll": {"SHGetFolderPathW"},
    # Message boxes, the string table, the progress window.
    "user32.dll": {
        "AdjustWindowRectEx", "BeginPaint", "CreateWindowExW", "DefWindowProcW", "DestroyWindow",
        "DispatchMessageW", "DrawEdge", "EnableWindow", "EndPaint", "FillRect", "GetDC", "GetProcessWindowStation",
        "GetSysColorBrush", "GetSystemMetrics", "GetUserObjectInformationW", "GetWindowLongPtrW", "GetWindowLongW",
        "InflateRect", "InvalidateRect", "IsDialogMessageW", "LoadCursorW", "LoadIconW", "LoadStringW",
        "MessageBoxA", "MessageBoxW", "MsgWaitForMultipleObjects", "PeekMessageW", "RegisterClassExW", "ReleaseDC",
        "SendMessageW", "SetFocus", "SetForegroundWindow", "SetTimer", "SetWindowLongPtrW", "SetWindowLongW",
        "ShowWindow", "SystemParametersInfoW", "TranslateMessage",
    },
}


def problems(imports, delay_imports=()):
    """What is wrong with an import table: imports is a list of (dll,
    function) pairs (function None for an import by ordinal), delay_imports
    the names of delay-loaded DLLs. One line per problem."""
    found = [f"delay import of {dll}: loaded at first call, possibly before the search is restricted"
             for dll in delay_imports]
    for dll, function in imports:
        dll = dll.lower()
        if dll not in KNOWN_DLLS:
            found.append(f"{dll}!{function}: {dll} is no KnownDLL of Windows 7 to 11, so it is searched for, "
                         "the program's folder first")
        elif function is None:
            found.append(f"{dll}: an import by ordinal cannot be reviewed")
        elif (dll, function) in FORWARDERS:
            found.append(f"{dll}!{function}: forwarded to {FORWARDERS[(dll, function)]}, which is no KnownDLL, "
                         "so it is searched for, the program's folder first")
        elif function not in REVIEWED.get(dll, ()):
            found.append(f"{dll}!{function}: a new import; check what it forwards to on Windows 7 to 11, then add "
                         "it to REVIEWED")
    return found


def imports_of(path):
    import pefile
    pe = pefile.PE(path)
    imports = [(entry.dll.decode(), i.name.decode() if i.name else None)
               for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []) for i in entry.imports]
    delay = [entry.dll.decode() for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    return imports, delay


def self_test():
    """The decision on made-up tables: each kind of fault is found, and a
    reviewed table passes."""
    cases = [
        ([("KERNEL32.dll", "CloseHandle"), ("ADVAPI32.dll", "RegOpenKeyExW")], [], 0),
        ([("ADVAPI32.dll", "SystemFunction036")], [], "cryptbase.dll"),
        ([("advapi32.dll", "SystemFunction032")], [], "cryptsp.dll"),
        ([("VERSION.dll", "GetFileVersionInfoW")], [], "no KnownDLL"),
        ([("bcrypt.dll", "BCryptGenRandom")], [], "no KnownDLL"),
        ([("KERNEL32.dll", "CreateToolhelp32Snapshot")], [], "a new import"),
        ([("USER32.dll", None)], [], "by ordinal"),
        ([], ["dwmapi.dll"], "delay import"),
    ]
    failed = 0
    for imports, delay, expected in cases:
        found = problems(imports, delay)
        ok = not found if expected == 0 else len(found) == 1 and expected in found[0]
        if not ok:
            print(f"self-test: {imports} {delay}: {found}, expected {expected or 'nothing'}")
            failed += 1
    print("self-test: ok" if not failed else f"self-test: {failed} failed")
    return 1 if failed else 0


def main():
    if sys.argv[1:] == ["--self-test"]:
        return self_test()
    status = 0
    for path in sys.argv[1:]:
        imports, delay = imports_of(path)
        found = problems(imports, delay)
        for line in found:
            print(f"{path}: {line}")
        if found:
            status = 1
        else:
            print(f"{path}: {len(imports)} imports, each from a KnownDLL and reviewed: ok")
    return status


if __name__ == "__main__":
    sys.exit(main())
