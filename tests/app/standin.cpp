// Stand-in for a product's setup program in end-to-end tests of the run.
// Appends what it received to a record file and ends with the exit code it
// is told, both through the environment it inherits from the bootstrapper:
//   TREVAN_STANDIN_LOG      record file (Windows path); lines "commandline ...",
//                           "cwd ...", "path ...", then "end"
//   TREVAN_STANDIN_EXIT     exit code, decimal or 0x-hex (default 0)
//   TREVAN_STANDIN_ACTIONS  comma-separated, done in order before ending:
//                           readonly  a read-only file "locked.txt" beside itself
//                           cache     a folder ".cache" with a file beside itself
//                           hold:MS   wait MS milliseconds
//                           tool:NAME start the program NAME by its bare name,
//                                     as setup programs start reg.exe (its
//                                     search takes the current directory
//                                     before the system's), without these
//                                     actions, wait for it and append "tool
//                                     NAME exit CODE" or "tool NAME refused
//                                     ERROR"
//                           wait      wait (up to 60 s) until the file named by
//                                     TREVAN_STANDIN_GO exists
//                           rename-folder  try to rename the folder it lies in
//                                     (the run's work folder) to the same name
//                                     with "-moved", and append the line
//                                     "rename-folder done" or "rename-folder
//                                     refused ERROR" to the record file
//                           msilog    write its log where the verbose MSI log
//                                     option in its command line points
//                                     (/l*v \"PATH\"), opening it as the MSI
//                                     engine does, and append "msilog
//                                     written", "msilog refused ERROR" or
//                                     "msilog none" (no such option)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string env(const char* name) {
    char value[4096];
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

std::string own_folder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path, n);
    return p.substr(0, p.rfind('\\') + 1);
}

void append_record(const std::string& line) {
    const std::string log = env("TREVAN_STANDIN_LOG");
    if (log.empty()) return;
    if (FILE* f = std::fopen(log.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

void act(const std::string& action) {
    const std::string folder = own_folder();
    if (action == "readonly") {
        std::string file = folder + "locked.txt";
        if (FILE* f = std::fopen(file.c_str(), "wb")) {
            std::fputs("keep me", f);
            std::fclose(f);
        }
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY);
    } else if (action == "cache") {
        CreateDirectoryA((folder + ".cache").c_str(), nullptr);
        if (FILE* f = std::fopen((folder + ".cache\\data").c_str(), "wb")) std::fclose(f);
    } else if (action.rfind("hold:", 0) == 0) {
        Sleep(std::strtoul(action.c_str() + 5, nullptr, 10));
    } else if (action.rfind("tool:", 0) == 0) {
        std::string command = action.substr(5);
        SetEnvironmentVariableA("TREVAN_STANDIN_ACTIONS", nullptr);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                            &startup, &process)) {
            append_record("tool " + action.substr(5) + " refused " + std::to_string(GetLastError()));
            return;
        }
        WaitForSingleObject(process.hProcess, 60000);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
        append_record("tool " + action.substr(5) + " exit " + std::to_string(code));
    } else if (action == "rename-folder") {
        const std::string plain = folder.substr(0, folder.size() - 1);
        if (MoveFileA(plain.c_str(), (plain + "-moved").c_str()))
            append_record("rename-folder done");
        else
            append_record("rename-folder refused " + std::to_string(GetLastError()));
    } else if (action == "msilog") {
        const std::string line = GetCommandLineA();
        const std::string mark = "/l*v \\\"";
        const std::string::size_type start = line.find(mark);
        const std::string::size_type end =
            start == std::string::npos ? start : line.find("\\\"", start + mark.size());
        if (end == std::string::npos) {
            append_record("msilog none");
            return;
        }
        const std::string path = line.substr(start + mark.size(), end - start - mark.size());
        HANDLE log = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log == INVALID_HANDLE_VALUE) {
            append_record("msilog refused " + std::to_string(GetLastError()));
            return;
        }
        const char text[] = "=== Verbose logging started ===\r\n";
        DWORD written = 0;
        WriteFile(log, text, sizeof text - 1, &written, nullptr);
        CloseHandle(log);
        append_record("msilog written");
    } else if (action == "wait") {
        const std::string go = env("TREVAN_STANDIN_GO");
        for (int i = 0; i < 6000 && GetFileAttributesA(go.c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(10);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string log = env("TREVAN_STANDIN_LOG");
    if (!log.empty()) {
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, cwd);
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        if (FILE* f = std::fopen(log.c_str(), "ab")) {
            std::fprintf(f, "commandline %s\ncwd %s\npath %s\nend\n", GetCommandLineA(), cwd, path);
            std::fclose(f);
        }
    }
    std::string actions = env("TREVAN_STANDIN_ACTIONS");
    for (std::string::size_type start = 0; start < actions.size();) {
        std::string::size_type comma = actions.find(',', start);
        if (comma == std::string::npos) comma = actions.size();
        act(actions.substr(start, comma - start));
        start = comma + 1;
    }
    return static_cast<int>(std::strtoul(env("TREVAN_STANDIN_EXIT").c_str(), nullptr, 0));
}
