#include "tools/pack/host.h"

#include <fcntl.h>
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "container/file_reader.h"

namespace trevan::pack {
namespace {

constexpr std::size_t max_output = 64u << 10;

// An iconv descriptor, closed on destruction.
class converter {
public:
    converter(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
    ~converter() {
        if (ok()) iconv_close(cd_);
    }
    converter(const converter&) = delete;
    converter& operator=(const converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts what is left of in onto out. Stops at the end or at bytes it
    // cannot take; returns errno's value then (0 at the end).
    int convert(const char*& in, std::size_t& left, std::string& out) {
        char buffer[1024];
        while (left > 0) {
            char* to = buffer;
            std::size_t room = sizeof buffer;
            char* from = const_cast<char*>(in);
            const std::size_t done = iconv(cd_, &from, &left, &to, &room);
            in = from;
            out.append(buffer, static_cast<std::size_t>(to - buffer));
            if (done == static_cast<std::size_t>(-1) && errno != E2BIG) return errno;
        }
        // The converters of 1255 and 1258 hold the last character back, for
        // a combining mark that might follow it.
        char* to = buffer;
        std::size_t room = sizeof buffer;
        if (iconv(cd_, nullptr, nullptr, &to, &room) == static_cast<std::size_t>(-1)) return errno;
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        return 0;
    }

private:
    iconv_t cd_;
};

std::string iconv_name(unsigned code_page) { return "CP" + std::to_string(code_page); }

}  // namespace

std::optional<std::vector<std::string>> utf8_arguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

std::filesystem::path native_path(const std::string& path) { return std::filesystem::path(path); }

std::FILE* open_file(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

struct input_file::held {
    explicit held(const std::string& path) : reader(path) {}
    file_reader reader;
};

input_file::input_file(const std::string& path) : held_(std::make_unique<held>(path)) {}
input_file::~input_file() = default;
bool input_file::is_open() const { return held_->reader.is_open(); }
unsigned long input_file::open_error() const { return held_->reader.open_error(); }
archive_reader& input_file::reader() { return held_->reader; }

std::optional<std::string> from_utf8(std::string_view text, unsigned code_page) {
    converter forth(iconv_name(code_page), "UTF-8");
    if (!forth.ok()) return std::nullopt;
    const char* in = text.data();
    std::size_t left = text.size();
    std::string bytes;
    if (forth.convert(in, left, bytes) != 0) return std::nullopt;
    // glibc's tables hold no best fit, but some hold two characters for one
    // byte sequence; only text that reads back as itself is exact.
    converter back("UTF-8", iconv_name(code_page));
    in = bytes.data();
    left = bytes.size();
    std::string again;
    if (!back.ok() || back.convert(in, left, again) != 0 || again != text) return std::nullopt;
    return bytes;
}

std::string to_utf8(std::string_view bytes, unsigned code_page) {
    converter back("UTF-8", iconv_name(code_page));
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    std::string out;
    while (left > 0) {
        if (back.ok() && back.convert(in, left, out) == 0) break;
        // A sequence the code page does not define, or one cut short.
        out += "\xEF\xBF\xBD";
        ++in;
        --left;
    }
    return out;
}

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
