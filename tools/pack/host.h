#pragma once

// What the pack tool asks of the system it runs on (host_posix.cpp,
// host_win32.cpp).

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "container/reader.h"

namespace trevan::pack {

// Whether stderr is a terminal (progress lines go there only then).
bool stderr_is_terminal();

// The system's text for an error code of a failed open (file_reader's
// open_error: errno on POSIX, the Win32 error code on Windows).
std::string open_error_text(unsigned long code);

// The program's arguments as UTF-8, argv[0] first: on Windows taken from
// the UTF-16 command line (the ANSI argv would have best-fitted a name
// outside the code page into another), elsewhere argv as it is. Nothing
// when an argument is not Unicode text (a lone surrogate).
std::optional<std::vector<std::string>> utf8_arguments(int argc, char** argv);

// path (UTF-8) as the file system names it: on Windows in UTF-16.
std::filesystem::path native_path(const std::string& path);

// Opens the file at path (UTF-8) as std::fopen does with mode; nullptr
// with errno set when it cannot.
std::FILE* open_file(const std::string& path, const char* mode);

// A file opened for reading by its UTF-8 path, read as a container is.
class input_file {
public:
    explicit input_file(const std::string& path);
    ~input_file();
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;

    bool is_open() const;
    // The system's error code of a failed open, for open_error_text.
    unsigned long open_error() const;
    archive_reader& reader();

private:
    struct held;
    std::unique_ptr<held> held_;
};

// text (UTF-8) in the Windows code page code_page, exactly: nothing when
// text is not UTF-8 or holds a character the code page has no exact form
// for (no best fit: the bytes must read back as the same text).
std::optional<std::string> from_utf8(std::string_view text, unsigned code_page);

// bytes of the Windows code page code_page as UTF-8: what the program reads
// from them. A byte sequence the code page does not define becomes U+FFFD.
std::string to_utf8(std::string_view bytes, unsigned code_page);

// The folder the running trevan-pack was started from; empty when the
// system does not say.
std::filesystem::path own_folder();

// path as one word of a command line for the shell below: in single
// quotes for /bin/sh, in double quotes for cmd.exe (where a path holds
// none).
std::string shell_quoted(const std::string& path);

struct command_result {
    bool started = false;  // false: the shell could not be started
    int exit_code = -1;    // the command's exit code (128 + N for a signal N)
    std::string output;    // what it wrote to stdout and stderr, interleaved
};

// Runs command_line (UTF-8) through the system's shell, /bin/sh -c or
// cmd.exe /d /s /c from the system folder, in folder, with nothing on its
// stdin, and waits for it. Its output is collected, up to 64 KiB.
command_result run_shell_command(const std::string& command_line, const std::filesystem::path& folder);

}  // namespace trevan::pack
