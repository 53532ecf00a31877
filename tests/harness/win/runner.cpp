// Starts one Windows program, answers every message box it shows and records
// the boxes and the full 32-bit exit code in a result file.
//
//   runner.exe REQUEST-FILE
//
// The request file has one field per line ("key value"; paths in UTF-8, so
// that names outside the ANSI code page can be given):
//   program PATH    the program to start (required)
//   args TEXT       raw argument text put behind the quoted program path
//   temp PATH       TEMP and TMP for the program
//   env NAME=VALUE  a further environment variable (repeatable)
//   cwd PATH        the program's current directory
//   station NAME    start the program on the desktop "Default" of a new
//                   window station NAME: not visible, as a service's is
//   timeout MS      end the program after this long (default 60000)
//   result PATH     where the result goes (required)
//   before-resume COMMAND  start the program suspended, run COMMAND (a
//                   command line) to its end, then let the program run: what
//                   another process can do between a program's start and
//                   its first instruction
//   watch CLASS     record the first visible window of this class that the
//                   program shows: when, where, its title and its controls
//   seen PATH       a file written when that window is first seen, holding
//                   "LEFT TOP RIGHT BOTTOM" of it on the screen
//   go PATH         act on the window only once this file exists
//   press TEXT      act: click the window's button with this caption
//   close           act: close the window as its close box and Alt+F4 do
// The result file holds "exit XXXXXXXX" (hex), then per box
// "box CAPTION-BYTES TEXT-BYTES" followed by the UTF-8 caption and text and a
// line feed; for a watched window "window MS LEFT TOP RIGHT BOTTOM
// TITLE-BYTES CONTROLS" (MS: milliseconds after the start), a line feed, the
// title and a line feed, then per control "control ENABLED CLASS-BYTES
// TEXT-BYTES", a line feed, the class, the text and a line feed; and
// "timeout" if the program had to be ended.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

struct box {
    std::string caption;
    std::string text;
};

DWORD child_pid;
std::vector<box> boxes;

struct control {
    bool enabled = false;
    std::string cls;
    std::string text;
};

// The watched window as first seen, and what to do with it.
struct watch {
    std::wstring cls;
    std::string seen_file, go_file, press;
    bool close = false;
    bool seen = false, acted = false;
    DWORD seen_ms = 0;
    RECT rect = {};
    std::string title;
    std::vector<control> controls;
} watched;

std::string utf8(const std::wstring& w) {
    if (w.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

std::wstring from_utf8(const std::string& s) {
    if (s.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::wstring window_text(HWND h) {
    if (!h) return std::wstring();
    int length = GetWindowTextLengthW(h);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    int got = GetWindowTextW(h, &text[0], length + 1);
    text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return text;
}

// Window handles are reused, so a box is marked as answered by a property
// rather than remembered by handle.
BOOL CALLBACK answer_box(HWND h, LPARAM) {
    if (!IsWindowVisible(h)) return TRUE;
    wchar_t cls[16] = {};
    GetClassNameW(h, cls, 16);
    if (lstrcmpW(cls, L"#32770") != 0) return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != child_pid || GetPropW(h, L"trevan.runner.seen")) return TRUE;
    SetPropW(h, L"trevan.runner.seen", reinterpret_cast<HANDLE>(1));
    boxes.push_back({utf8(window_text(h)), utf8(window_text(GetDlgItem(h, 0xFFFF)))});
    PostMessageW(h, WM_COMMAND, IDOK, 0);
    return TRUE;
}

std::wstring class_of(HWND h) {
    wchar_t cls[64] = {};
    GetClassNameW(h, cls, 64);
    return cls;
}

BOOL CALLBACK find_watched(HWND h, LPARAM found) {
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    if (pid != child_pid || !IsWindowVisible(h) || class_of(h) != watched.cls) return TRUE;
    *reinterpret_cast<HWND*>(found) = h;
    return FALSE;
}

BOOL CALLBACK record_control(HWND h, LPARAM) {
    watched.controls.push_back({IsWindowEnabled(h) != FALSE, utf8(class_of(h)), utf8(window_text(h))});
    return TRUE;
}

HWND button_of(HWND window, const std::string& caption) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (lstrcmpiW(class_of(child).c_str(), L"Button") == 0 && utf8(window_text(child)) == caption) return child;
    return nullptr;
}

bool file_exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Records the watched window when it first shows, then acts on it once.
void look_for_window(DWORD started) {
    if (watched.cls.empty() || watched.acted) return;
    HWND window = nullptr;
    EnumWindows(find_watched, reinterpret_cast<LPARAM>(&window));
    if (!window) return;
    if (!watched.seen) {
        watched.seen = true;
        watched.seen_ms = GetTickCount() - started;
        GetWindowRect(window, &watched.rect);
        watched.title = utf8(window_text(window));
        EnumChildWindows(window, record_control, 0);
        // Visible is not yet drawn, nor settled: let the program paint it and
        // the display show it before anyone looks. (Under Wine a click while
        // the window is still being activated can lose the button's capture,
        // and with it the click.)
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        Sleep(500);
        if (!watched.seen_file.empty()) {
            if (FILE* f = std::fopen(watched.seen_file.c_str(), "wb")) {
                const RECT& r = watched.rect;
                std::fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
                std::fclose(f);
            }
        }
    }
    if (!watched.go_file.empty() && !file_exists(watched.go_file)) return;
    DWORD_PTR answer = 0;
    if (!watched.press.empty()) {
        if (HWND button = button_of(window, watched.press))
            SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        watched.acted = true;
    } else if (watched.close) {
        SendMessageTimeoutW(window, WM_SYSCOMMAND, SC_CLOSE, 0, SMTO_ABORTIFHUNG, 5000, &answer);
        watched.acted = true;
    }
}

std::vector<std::string> read_lines(const char* path) {
    std::vector<std::string> lines;
    FILE* f = std::fopen(path, "rb");
    if (!f) return lines;
    std::string line;
    for (int c; (c = std::fgetc(f)) != EOF;) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    std::fclose(f);
    return lines;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: runner REQUEST-FILE\n");
        return 2;
    }
    std::string program, args, cwd, result, station, before_resume;
    DWORD timeout = 60000;
    bool have_args = false;
    for (const std::string& line : read_lines(argv[1])) {
        std::string::size_type space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string value = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (key == "program") program = value;
        else if (key == "args") { args = value; have_args = true; }
        else if (key == "cwd") cwd = value;
        else if (key == "station") station = value;
        else if (key == "result") result = value;
        else if (key == "timeout") timeout = std::strtoul(value.c_str(), nullptr, 10);
        else if (key == "before-resume") before_resume = value;
        else if (key == "watch") watched.cls = from_utf8(value);
        else if (key == "seen") watched.seen_file = value;
        else if (key == "go") watched.go_file = value;
        else if (key == "press") watched.press = value;
        else if (key == "close") watched.close = true;
        else if (key == "temp") {
            const std::wstring wide = from_utf8(value);
            SetEnvironmentVariableW(L"TEMP", wide.c_str());
            SetEnvironmentVariableW(L"TMP", wide.c_str());
        } else if (key == "env") {
            std::string::size_type eq = value.find('=');
            if (eq != std::string::npos)
                SetEnvironmentVariableA(value.substr(0, eq).c_str(), value.substr(eq + 1).c_str());
        }
    }
    if (program.empty() || result.empty()) {
        std::fprintf(stderr, "runner: request lacks program or result\n");
        return 2;
    }

    std::string command_line = "\"" + program + "\"";
    if (have_args) command_line += " " + args;
    std::wstring writable = from_utf8(command_line);
    writable.push_back(L'\0');
    const std::wstring wide_cwd = from_utf8(cwd);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    std::wstring desktop;
    if (!station.empty()) {
        // The desktop is made inside the station, so the runner joins it for
        // a moment; it watches its own station's windows again afterwards.
        HWINSTA own = GetProcessWindowStation();
        HWINSTA made = CreateWindowStationA(station.c_str(), 0, WINSTA_ALL_ACCESS, nullptr);
        if (!made || !SetProcessWindowStation(made) ||
            !CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr) || !SetProcessWindowStation(own)) {
            std::fprintf(stderr, "runner: cannot make window station %s (error %lu)\n", station.c_str(),
                         GetLastError());
            return 3;
        }
        desktop = from_utf8(station + "\\Default");
        si.lpDesktop = &desktop[0];
    }
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(from_utf8(program).c_str(), &writable[0], nullptr, nullptr, FALSE,
                        before_resume.empty() ? 0 : CREATE_SUSPENDED, nullptr,
                        cwd.empty() ? nullptr : wide_cwd.c_str(), &si, &pi)) {
        std::fprintf(stderr, "runner: cannot start %s (error %lu)\n", program.c_str(),
                     GetLastError());
        return 3;
    }
    if (!before_resume.empty()) {
        std::wstring command = from_utf8(before_resume);
        command.push_back(L'\0');
        STARTUPINFOW other_si = {};
        other_si.cb = sizeof other_si;
        PROCESS_INFORMATION other = {};
        if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &other_si,
                           &other)) {
            WaitForSingleObject(other.hProcess, 60000);
            CloseHandle(other.hProcess);
            CloseHandle(other.hThread);
        } else {
            std::fprintf(stderr, "runner: cannot start %s (error %lu)\n", before_resume.c_str(),
                         GetLastError());
        }
        ResumeThread(pi.hThread);
    }
    CloseHandle(pi.hThread);
    child_pid = pi.dwProcessId;

    bool timed_out = false;
    DWORD started = GetTickCount();
    while (WaitForSingleObject(pi.hProcess, 5) == WAIT_TIMEOUT) {
        EnumWindows(answer_box, 0);
        look_for_window(started);
        if (GetTickCount() - started > timeout) {
            TerminateProcess(pi.hProcess, 0xDEAD);
            WaitForSingleObject(pi.hProcess, INFINITE);
            timed_out = true;
            break;
        }
    }
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);

    FILE* out = std::fopen(result.c_str(), "wb");
    if (!out) {
        std::fprintf(stderr, "runner: cannot write %s\n", result.c_str());
        return 4;
    }
    std::fprintf(out, "exit %08lx\n", code);
    for (const box& b : boxes) {
        std::fprintf(out, "box %u %u\n", static_cast<unsigned>(b.caption.size()),
                     static_cast<unsigned>(b.text.size()));
        std::fwrite(b.caption.data(), 1, b.caption.size(), out);
        std::fwrite(b.text.data(), 1, b.text.size(), out);
        std::fputc('\n', out);
    }
    if (watched.seen) {
        const RECT& r = watched.rect;
        std::fprintf(out, "window %lu %ld %ld %ld %ld %u %u\n", watched.seen_ms, r.left, r.top, r.right, r.bottom,
                     static_cast<unsigned>(watched.title.size()), static_cast<unsigned>(watched.controls.size()));
        std::fwrite(watched.title.data(), 1, watched.title.size(), out);
        std::fputc('\n', out);
        for (const control& c : watched.controls) {
            std::fprintf(out, "control %d %u %u\n", c.enabled ? 1 : 0, static_cast<unsigned>(c.cls.size()),
                         static_cast<unsigned>(c.text.size()));
            std::fwrite(c.cls.data(), 1, c.cls.size(), out);
            std::fwrite(c.text.data(), 1, c.text.size(), out);
            std::fputc('\n', out);
        }
    }
    if (timed_out) std::fputs("timeout\n", out);
    std::fclose(out);
    return 0;
}
