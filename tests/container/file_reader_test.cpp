// The file reader (POSIX here, Win32 in the Windows tree) behind the walk.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <windows.h>
#endif

#include "container/file_reader.h"
#include "container/walk.h"
#include "tests/container/container_fixtures.h"

namespace trevan {
namespace {

namespace fs = std::filesystem;

std::string write_temp(const std::string& name, const std::string& data) {
    fs::path dir = fs::temp_directory_path() / "trevan-container-test";
    fs::create_directories(dir);
    fs::path path = dir / name;
    std::ofstream(path, std::ios::binary) << data;
    return path.string();
}

TEST(FileReader, MovesAndReadsLikeTheSystemCalls) {
    file_reader in(write_temp("moves.bin", "0123456789"));
    ASSERT_TRUE(in.is_open());
    EXPECT_EQ(in.open_error(), 0u);
    EXPECT_EQ(in.move_to_end(), 10u);
    EXPECT_EQ(in.move(-11), std::nullopt);  // before the start: refused, position kept
    EXPECT_EQ(in.move(-4), 6u);
    char buf[8] = {};
    ASSERT_TRUE(in.read(buf, 3));
    EXPECT_EQ(std::string(buf, 3), "678");
    // Reading across the end is a short read: the rest reads as zeros.
    ASSERT_TRUE(in.read(buf, 4));
    EXPECT_EQ(std::string(buf, 4), std::string("9\0\0\0", 4));
    EXPECT_EQ(in.move(0), 10u);
    EXPECT_EQ(in.move(100), 110u);  // beyond the end is a valid position
}

TEST(FileReader, MissingFileGivesTheOpenError) {
    file_reader in(write_temp("x", "") + ".missing");
    EXPECT_FALSE(in.is_open());
    EXPECT_NE(in.open_error(), 0u);
}

TEST(FileReader, WalksTheShippedLayoutFromDisk) {
    std::string data32 = fixtures::pseudo_random_bytes(2073936, 32), data64 = fixtures::pseudo_random_bytes(2073944, 64);
    std::string bytes = fixtures::sample_container(fixtures::minimal_pe(4000), data32, data64);
    bytes = fixtures::with_certificate_table(bytes, (8 - bytes.size() % 8) % 8, fixtures::pseudo_random_bytes(5672, 4));
    file_reader in(write_temp("sample.exe", bytes));
    SettingsMap settings;
    walk_result result = walk_container(in, settings);
    EXPECT_TRUE(result.ok) << result.reason;
    EXPECT_EQ(result.chunks, 23u);
    EXPECT_EQ(settings, fixtures::sample_settings());
}

std::string own_executable() {
#ifdef _WIN32
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
#else
    return fs::read_symlink("/proc/self/exe").string();
#endif
}

// A program with nothing appended holds the marker text in its own constant
// data, but not at its end: the search fails there, before any chunk.
TEST(FileReader, ExecutableWithNothingAppended) {
    file_reader in(own_executable());
    ASSERT_TRUE(in.is_open());
    SettingsMap settings;
    walk_result result = walk_container(in, settings);
    EXPECT_EQ(result.end, walk_end::no_marker) << result.reason;
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.chunks, 0u);
}

}  // namespace
}  // namespace trevan
