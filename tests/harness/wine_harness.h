#pragma once

// Test harness for Windows programs run under wine64 from Linux GoogleTest
// tests: one Wine prefix per build tree with its server (and a private Xvfb
// display) kept warm for the whole test run, runs with a fresh temporary
// folder, the full 32-bit exit code and every message box the program showed.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace trevan::harness {

// Where things are: the 64-bit build tree (its helpers, the runner and the
// mutex holder among them, run under Wine), the build tree whose program the
// end-to-end tests run, the Wine prefix of the tests and the source tree.
// The environment may name another program tree and prefix
// (TREVAN_PROGRAM_DIR, TREVAN_WINE_PREFIX): that is how the 32-bit suite runs
// the same cases against build/win32's program in a prefix of its own.
std::string win64_dir();
std::string program_dir();
std::string wine_prefix();
std::string source_dir();

// Whether the session's prefix must run 32-bit programs as WOW64 processes
// (TREVAN_WOW64=1 in the environment).
bool wow64_session();
// Empty when this machine can run 32-bit Windows programs, else the reason
// why not (from scripts/setup-wow64 --check).
std::string wow64_unavailable_reason();
// Exit code of a test program that could not run its cases here (CTest's
// SKIP_RETURN_CODE).
constexpr int skipped_exit_code = 77;

// "Z:\..." for an absolute Linux path (Wine maps Z: to the Linux root).
std::string windows_path(const std::string& linux_path);

// Starts the Wine session for this process unless a session of the test run
// already exists (the CTest fixture starts one), with WOW64 support when
// wow64_session(); stops only what it started. Installed as a GoogleTest
// environment by the harness's main.
void ensure_wine_session();
void end_wine_session();

// Environment for a Wine process of the session (WINEPREFIX, WINEDEBUG,
// DISPLAY, and the given additions).
std::vector<std::string> wine_environment(const std::map<std::string, std::string>& extra = {});

struct message_box {
    std::string caption;
    std::string text;
    bool operator==(const message_box& other) const {
        return caption == other.caption && text == other.text;
    }
};

// Readable in test failure messages.
void PrintTo(const message_box& box, std::ostream* os);

// A window of the program as the runner first saw it.
struct shown_window {
    struct control {
        bool enabled = false;
        std::string cls;
        std::string text;
    };
    unsigned ms = 0;  // after the program's start
    int left = 0, top = 0, right = 0, bottom = 0;
    std::string title;
    std::vector<control> controls;
    // The text of the first control of this class; empty when there is none.
    std::string text_of(const std::string& cls) const;
};

struct run_result {
    std::uint32_t exit_code = 0;
    std::vector<message_box> boxes;
    // The watched window, when one showed.
    std::optional<shown_window> window;
    bool timed_out = false;
    // The emulator that runs the 32-bit program here (qemu-user) crashed
    // under it, or the Wine client on it lost the wine server; nothing the
    // program did decides how such a run ended.
    bool emulator_crashed = false;
    // Entries left in the temporary folder after the run, relative to it,
    // sorted, folders with a trailing "/".
    std::vector<std::string> temp_entries;
};

struct run_options {
    // Raw argument text behind the quoted program path; none when empty.
    std::string args;
    // Linux path of the program's temporary folder (TEMP and TMP); Wine's
    // own when empty.
    std::string temp_dir;
    // Windows path given to TEMP and TMP as it is, overriding temp_dir (for
    // paths that are not folders).
    std::string temp_windows;
    std::map<std::string, std::string> env;
    // A window station of this name, made for the run: one no one sees, as
    // a service's; the session's interactive one when empty.
    std::string window_station;
    std::chrono::milliseconds timeout{60000};
    // A Windows command line run to its end between the program's start and
    // its first instruction (the program is started suspended); none when
    // empty.
    std::string before_resume;
    // A class of window to watch for, and what to do once it shows: click
    // the button captioned press, or close the window (close box, Alt+F4);
    // only once the file go exists when go is given. The runner writes the
    // file seen (Linux paths) when the window first shows.
    struct {
        std::string cls;
        std::string seen, go;
        std::string press;
        bool close = false;
    } watch;
};

// A program started through the runner; wait() collects its result.
class program_run {
public:
    program_run(const std::string& program, const run_options& options);
    program_run(program_run&& other) noexcept;
    program_run(const program_run&) = delete;
    program_run& operator=(const program_run&) = delete;
    ~program_run();

    // Waits for the end; throws std::runtime_error when the runner failed.
    run_result wait();

private:
    pid_t pid_ = -1;
    std::string work_;
    std::string temp_dir_;
    std::chrono::milliseconds timeout_;
};

// Starts the program (Linux path of a Windows executable) and waits for it.
run_result run_program(const std::string& program, const run_options& options = {});

// The command line of the harness's intruder (tests/harness/win/intruder.cpp)
// swapping the file at path (a Linux path) for other, its line appended to
// the file report; and a run of it now, which returns that line.
std::string intruder_swap_command(const std::string& path, const std::string& other, const std::string& report);
std::string intruder_swap(const std::string& path, const std::string& other);

// Holds a named mutex in a separate Wine process until stop() or destruction.
class mutex_holder {
public:
    explicit mutex_holder(const std::string& name, bool release_at_stop = false);
    mutex_holder(const mutex_holder&) = delete;
    mutex_holder& operator=(const mutex_holder&) = delete;
    ~mutex_holder();
    void stop();

private:
    pid_t pid_ = -1;
    int to_child_ = -1;
};

// A PNG of the part of the session's display between left and right, top
// and bottom (screen pixels), taken with ImageMagick's import; throws
// std::runtime_error when none can be taken.
void take_screenshot(const std::string& png, int left, int top, int right, int bottom);

// Runs wine64 with these arguments in the session (for example "reg", "add",
// ...) and waits; returns the (8-bit) exit status, or -1 when it had to be
// killed. Its output goes to *output when given.
int run_wine(const std::vector<std::string>& args, std::string* output = nullptr);

// A fresh, empty folder for the current test under the tree's test-tmp
// folder (or the one TREVAN_TEST_TMP names, so that two suites running the
// same cases at once keep apart); emptied again when the same test runs next
// time.
std::string fresh_test_folder(const std::string& suffix = "");

std::vector<std::string> list_tree(const std::string& dir);
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& data);

}  // namespace trevan::harness
