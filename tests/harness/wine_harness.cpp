#include "tests/harness/wine_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

const char* const wine64 = "/usr/lib/wine/wine64";

std::string from_env_or(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

// Display of the running session, read from the session file.
std::string session_display() {
    std::ifstream in(wine_prefix() + ".session");
    std::string key, value;
    while (in >> key >> value)
        if (key == "display") return value;
    return "";
}

bool session_running() { return fs::exists(wine_prefix() + ".session"); }

bool started_session_here = false;

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env,
            const std::string& output_file, int stdin_fd = -1) {
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int in = stdin_fd >= 0 ? stdin_fd : open("/dev/null", O_RDONLY);
        int out = open(output_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (in < 0 || out < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(out, 2);
        execve(argv[0].c_str(), args.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Waits for a child; kills it after the timeout. Returns its wait status, or
// -1 after a kill.
int wait_child(pid_t pid, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = waitpid(pid, &status, WNOHANG);
        if (r == pid) return status;
        if (r < 0) return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

std::atomic<unsigned> run_counter{0};

std::string read_bytes(std::istream& in, std::size_t size) {
    std::string bytes(size, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    return bytes;
}

}  // namespace

std::string win64_dir() { return from_env_or("TREVAN_WIN64_DIR", TREVAN_WIN64_DIR); }
std::string program_dir() { return from_env_or("TREVAN_PROGRAM_DIR", win64_dir().c_str()); }
std::string wine_prefix() { return from_env_or("TREVAN_WINE_PREFIX", TREVAN_WINE_PREFIX); }
std::string source_dir() { return TREVAN_SOURCE_DIR; }

bool wow64_session() { return from_env_or("TREVAN_WOW64", "") == "1"; }

std::string wow64_unavailable_reason() {
    const std::string command = source_dir() + "/scripts/setup-wow64 --check 2>&1";
    FILE* check = popen(command.c_str(), "r");
    if (!check) return "cannot run " + command;
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, check)) output += buffer;
    const int status = pclose(check);
    if (status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) return "";
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return output.empty() ? command + " failed" : output;
}

std::string windows_path(const std::string& linux_path) {
    std::string path = "Z:" + fs::absolute(linux_path).lexically_normal().string();
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

void ensure_wine_session() {
    if (session_running()) return;
    std::string command = source_dir() + "/scripts/wine-session start '" + wine_prefix() +
                          "' --display" + (wow64_session() ? " --wow64" : "");
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot start the Wine session");
    started_session_here = true;
}

void end_wine_session() {
    if (!started_session_here) return;
    std::string command = source_dir() + "/scripts/wine-session stop '" + wine_prefix() + "'";
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "wine-session stop failed\n");
    started_session_here = false;
}

std::vector<std::string> wine_environment(const std::map<std::string, std::string>& extra) {
    std::map<std::string, std::string> vars = {
        {"PATH", "/usr/bin:/bin"},
        {"HOME", from_env_or("HOME", "/root")},
        {"WINEPREFIX", wine_prefix()},
        {"WINEDEBUG", "-all"},
        {"WINEDLLOVERRIDES", "mscoree,mshtml="},
        // Wine reads Linux file names in the locale's character set: without
        // one, a name outside ASCII names no file.
        {"LANG", "C.UTF-8"},
    };
    std::string display = session_display();
    if (!display.empty()) vars["DISPLAY"] = display;
    for (const auto& [k, v] : extra) vars[k] = v;
    std::vector<std::string> env;
    for (const auto& [k, v] : vars) env.push_back(k + "=" + v);
    return env;
}

program_run::program_run(const std::string& program, const run_options& options)
    : timeout_(options.timeout) {
    if (!fs::exists(program)) throw std::runtime_error("no such program: " + program);
    work_ = fresh_test_folder(".run" + std::to_string(run_counter++));
    temp_dir_ = options.temp_dir;
    std::ostringstream request;
    request << "program " << windows_path(program) << "\n";
    if (!options.args.empty()) request << "args " << options.args << "\n";
    if (!options.temp_windows.empty())
        request << "temp " << options.temp_windows << "\n";
    else if (!options.temp_dir.empty())
        request << "temp " << windows_path(options.temp_dir) << "\\\n";
    for (const auto& [k, v] : options.env) request << "env " << k << "=" << v << "\n";
    if (!options.window_station.empty()) request << "station " << options.window_station << "\n";
    request << "timeout " << options.timeout.count() << "\n";
    if (!options.before_resume.empty()) request << "before-resume " << options.before_resume << "\n";
    if (!options.watch.cls.empty()) {
        request << "watch " << options.watch.cls << "\n";
        if (!options.watch.seen.empty()) request << "seen " << windows_path(options.watch.seen) << "\n";
        if (!options.watch.go.empty()) request << "go " << windows_path(options.watch.go) << "\n";
        if (!options.watch.press.empty()) request << "press " << options.watch.press << "\n";
        if (options.watch.close) request << "close\n";
    }
    request << "result " << windows_path(work_ + "/result") << "\n";
    write_file(work_ + "/request", request.str());
    pid_ = spawn({wine64, win64_dir() + "/tests/harness/runner.exe",
                  windows_path(work_ + "/request")},
                 wine_environment(), work_ + "/wine-output");
}

program_run::program_run(program_run&& other) noexcept
    : pid_(other.pid_), work_(std::move(other.work_)), temp_dir_(std::move(other.temp_dir_)),
      timeout_(other.timeout_) {
    other.pid_ = -1;
}

program_run::~program_run() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

run_result program_run::wait() {
    const auto limit = timeout_ + std::chrono::seconds(30);
    int status = wait_child(pid_, limit);
    pid_ = -1;
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        // How it ended tells a hang from a crash of Wine or of the runner.
        const std::string how =
            status == -1 ? "no end within " + std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) + " s"
            : WIFEXITED(status) ? "exit status " + std::to_string(WEXITSTATUS(status))
            : WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                  : "status " + std::to_string(status);
        throw std::runtime_error("runner failed (" + how + "): " + read_file(work_ + "/wine-output"));
    }
    std::ifstream in(work_ + "/result", std::ios::binary);
    if (!in) throw std::runtime_error("runner left no result: " + read_file(work_ + "/wine-output"));
    run_result result;
    std::string word;
    while (in >> word) {
        if (word == "exit") {
            in >> std::hex >> result.exit_code >> std::dec;
        } else if (word == "box") {
            std::size_t caption_size = 0, text_size = 0;
            in >> caption_size >> text_size;
            in.get();  // the line feed behind the sizes
            message_box box;
            box.caption = read_bytes(in, caption_size);
            box.text = read_bytes(in, text_size);
            result.boxes.push_back(box);
        } else if (word == "window") {
            shown_window window;
            std::size_t title_size = 0, controls = 0;
            in >> window.ms >> window.left >> window.top >> window.right >> window.bottom >> title_size >> controls;
            in.get();
            window.title = read_bytes(in, title_size);
            for (std::size_t i = 0; i < controls && in >> word && word == "control"; ++i) {
                shown_window::control c;
                std::size_t class_size = 0, text_size = 0;
                in >> c.enabled >> class_size >> text_size;
                in.get();
                c.cls = read_bytes(in, class_size);
                c.text = read_bytes(in, text_size);
                window.controls.push_back(c);
            }
            result.window = window;
        } else if (word == "timeout") {
            result.timed_out = true;
        }
    }
    // qemu-user's own crash, or the Wine client it runs losing its
    // connection to the wine server under it.
    const std::string output = read_file(work_ + "/wine-output");
    result.emulator_crashed = output.find("qemu: uncaught target signal") != std::string::npos ||
                              output.find("wine client error") != std::string::npos;
    if (!temp_dir_.empty()) result.temp_entries = list_tree(temp_dir_);
    return result;
}

run_result run_program(const std::string& program, const run_options& options) {
    return program_run(program, options).wait();
}

void take_screenshot(const std::string& png, int left, int top, int right, int bottom) {
    const std::string display = session_display();
    if (display.empty()) throw std::runtime_error("no display to take a screenshot of");
    const std::string geometry = std::to_string(right - left) + "x" + std::to_string(bottom - top) + "+" +
                                 std::to_string(left) + "+" + std::to_string(top);
    const std::string output = fresh_test_folder(".import" + std::to_string(run_counter++)) + "/output";
    const int status = wait_child(spawn({"/usr/bin/import", "-display", display, "-window", "root", "-crop",
                                         geometry, "+repage", png},
                                        wine_environment(), output),
                                  std::chrono::seconds(30));
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !fs::exists(png))
        throw std::runtime_error("import failed: " + read_file(output));
}

int run_wine(const std::vector<std::string>& args, std::string* output) {
    std::string file = fresh_test_folder(".wine" + std::to_string(run_counter++)) + "/output";
    std::vector<std::string> argv = {wine64};
    argv.insert(argv.end(), args.begin(), args.end());
    int status = wait_child(spawn(argv, wine_environment(), file), std::chrono::seconds(60));
    if (output) *output = read_file(file);
    if (status == -1 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

std::string intruder_swap_command(const std::string& path, const std::string& other, const std::string& report) {
    return "\"" + windows_path(win64_dir() + "/tests/harness/intruder.exe") + "\" swap \"" + windows_path(path) +
           "\" \"" + windows_path(other) + "\" \"" + windows_path(report) + "\"";
}

std::string intruder_swap(const std::string& path, const std::string& other) {
    std::string output;
    run_wine({win64_dir() + "/tests/harness/intruder.exe", "swap", windows_path(path), windows_path(other)}, &output);
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    return output;
}

mutex_holder::mutex_holder(const std::string& name, bool release_at_stop) {
    int to_child[2];
    // Close-on-exec, so that no child keeps the write end and the holder sees
    // the end of its input when stop() closes it.
    if (pipe2(to_child, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    std::string output = fresh_test_folder(".holder" + std::to_string(run_counter++)) + "/output";
    std::vector<std::string> argv = {wine64, win64_dir() + "/tests/harness/mutex_holder.exe", name};
    if (release_at_stop) argv.push_back("--release");
    pid_ = spawn(argv, wine_environment(), output, to_child[0]);
    close(to_child[0]);
    to_child_ = to_child[1];
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (read_file(output).find("ready") == std::string::npos) {
        if (std::chrono::steady_clock::now() > deadline || waitpid(pid_, nullptr, WNOHANG) == pid_) {
            std::string seen = read_file(output);
            stop();
            throw std::runtime_error("mutex holder did not take " + name + ": " + seen);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

mutex_holder::~mutex_holder() { stop(); }

void mutex_holder::stop() {
    if (to_child_ >= 0) {
        close(to_child_);
        to_child_ = -1;
    }
    if (pid_ > 0) {
        wait_child(pid_, std::chrono::seconds(30));
        pid_ = -1;
    }
}

std::string fresh_test_folder(const std::string& suffix) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "global";
    std::replace(name.begin(), name.end(), '/', '_');
    fs::path dir = fs::path(from_env_or("TREVAN_TEST_TMP", TREVAN_TEST_TMP)) / (name + suffix);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

std::vector<std::string> list_tree(const std::string& dir) {
    std::vector<std::string> entries;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(dir, ec); !ec && it != fs::end(it);
         it.increment(ec)) {
        // Lexically: a link is listed under its own name, not its target's.
        std::string rel = it->path().lexically_relative(dir).string();
        if (it->is_directory() && !it->is_symlink()) {
            rel += "/";
        }
        entries.push_back(rel);
        if (it->is_symlink()) it.disable_recursion_pending();
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string shown_window::text_of(const std::string& cls) const {
    for (const control& c : controls)
        if (c.cls == cls) return c.text;
    return "";
}

void PrintTo(const message_box& box, std::ostream* os) {
    *os << "{caption \"" << box.caption << "\", text \"" << box.text << "\"}";
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    return data.str();
}

void write_file(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace trevan::harness
