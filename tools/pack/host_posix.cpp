#include "tools/pack/host.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace trevan::pack {
namespace {

constexpr std::size_t max_output = 64u << 10;

}  // namespace

bool stderr_is_terminal() { return isatty(STDERR_FILENO) != 0; }

std::string open_error_text(unsigned long code) { return std::strerror(static_cast<int>(code)); }

std::filesystem::path own_folder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

std::string shell_quoted(const std::string& path) {
    std::string out = "'";
    for (char c : path) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

command_result run_shell_command(const std::string& command_line, const std::filesystem::path& folder) {
    command_result result;
    int pipe_ends[2];
    if (pipe2(pipe_ends, O_CLOEXEC) != 0) return result;
    const pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls from here to exec.
        const int nothing = open("/dev/null", O_RDONLY);
        if (nothing < 0 || dup2(nothing, 0) < 0 || dup2(pipe_ends[1], 1) < 0 || dup2(pipe_ends[1], 2) < 0 ||
            chdir(folder.c_str()) != 0)
            _exit(127);
        execl("/bin/sh", "sh", "-c", command_line.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipe_ends[1]);
    if (pid < 0) {
        close(pipe_ends[0]);
        return result;
    }
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipe_ends[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        if (result.output.size() < max_output)
            result.output.append(buffer, std::min<std::size_t>(static_cast<std::size_t>(n), max_output - result.output.size()));
    }
    close(pipe_ends[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return result;
    result.started = true;
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

}  // namespace trevan::pack
