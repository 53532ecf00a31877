#pragma once

// Whole files in and out, a folder's entries, and each test's own folder,
// for the pack tool's host tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

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

// The names in a folder, sorted, dot files (temporaries) included.
inline std::vector<std::string> names_in(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// An empty folder of the running test's own: <temp>/<area>/<test name>.
inline std::filesystem::path fresh_test_folder(const std::string& area) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / area /
                                         ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace trevan::pack
