#pragma once

// Temporary output files of the pack tool: created exclusively, under names
// that cannot be guessed, never through a link. A folder that another user
// can write (or a planted link at a predictable name) thus can neither
// redirect an output nor make it fail on purpose.

#include <string>

#include "tools/pack/stdio_file.h"

namespace trevan::pack {

// Creates the file path for writing (binary) only if no file, folder or link
// of that name exists; a link is never followed. Returns nullptr with errno
// set when it cannot (EEXIST when the name is taken).
std::FILE* create_exclusive(const std::string& path);

struct temp_file {
    std::string path;
    stdio_file file;
};

// Creates a new file named prefix, 16 random hexadecimal digits and ".tmp"
// with create_exclusive, trying other names while a name is taken. On
// failure the result's file is empty and errno tells why.
temp_file create_temp_file(const std::string& prefix);

// Creates the folder path only if nothing of that name exists (a link is
// never followed), open to the current user alone where the system has
// such modes. False with errno set when it cannot (EEXIST when taken).
bool create_exclusive_folder(const std::string& path);

// Creates a new folder named prefix and 16 random hexadecimal digits with
// create_exclusive_folder, trying other names while a name is taken.
// Returns its path; empty on failure, with errno telling why.
std::string create_temp_folder(const std::string& prefix);

}  // namespace trevan::pack
