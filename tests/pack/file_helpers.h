#pragma once

// Whole files in and out, for the pack tool's host tests.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace trevan::pack {

inline std::string read_all(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_all(const std::filesystem::path& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

}  // namespace trevan::pack
