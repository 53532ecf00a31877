#pragma once

// The pack tool of this tree (TREVAN_PACK_TOOL) as a program, for the
// host tests of its command line.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace trevan::pack {

struct tool_run {
    int code = -1;  // the exit code; -1 when it did not exit
    std::string out;
    std::string err;
};

// Runs trevan-pack with args and waits for it. Its stdout and stderr go to
// the files ".stdout" and ".stderr" in capture_folder, and are read back.
// A memory_limit other than 0 caps the tool's address space (bytes), so an
// allocation beyond it fails in the tool.
tool_run run_tool(const std::vector<std::string>& args, const std::filesystem::path& capture_folder,
                  std::uint64_t memory_limit = 0);

// The same, leaving what it wrote in those files unread (for outputs too
// large to hold); returns the exit code.
int run_tool_to_files(const std::vector<std::string>& args, const std::filesystem::path& capture_folder,
                      std::uint64_t memory_limit = 0);

}  // namespace trevan::pack
