// The Windows build of trevan-pack under wine64: the same bytes as the host
// build from the same inputs, and the same verdicts.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/container/container_fixtures.h"
#include "tests/harness/wine_harness.h"
#include "tools/pack/builder.h"

namespace trevan::harness {
namespace {

using namespace trevan::fixtures;

std::string windows_tool() { return win64_dir() + "/trevan-pack.exe"; }

TEST(WindowsPackTool, BuildsTheSameBytesAndVerifiesAlike) {
    std::string folder = fresh_test_folder();
    write_file(folder + "/stub.exe", minimal_pe(2048));
    write_file(folder + "/data.bin", pseudo_random_bytes(5u << 20, 3));
    pack::build_container(folder + "/stub.exe",
                          {pack::value_record("a", "1"), pack::file_record("f", "", folder + "/data.bin"),
                           pack::value_record("parameters", sample_parameters)},
                          folder + "/host.exe");

    run_options options;
    options.args = "build --stub " + windows_path(folder + "/stub.exe") + " --value a=1 --file f=" +
                   windows_path(folder + "/data.bin") + " --value \"parameters=/V\\\"USER_PARTNER_IDENTITY=5   " +
                   "WEBINSTALLER=1\\\"\" --no-check stub --no-check executable32 --no-check executable64 -o " +
                   windows_path(folder + "/windows.exe");
    ASSERT_EQ(run_program(windows_tool(), options).exit_code, 0u);
    std::string built = read_file(folder + "/windows.exe");
    EXPECT_EQ(built, read_file(folder + "/host.exe"));

    options.args = "verify " + windows_path(folder + "/windows.exe");
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 0u);
    built[built.size() - 50] ^= 0x01;
    write_file(folder + "/bad.exe", built);
    options.args = "verify " + windows_path(folder + "/bad.exe");
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 1u);
    options.args = "verify " + windows_path(folder + "/missing.exe");
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 2u);
    // The same anchor: bytes behind an unsigned container fail verification.
    write_file(folder + "/behind.exe", read_file(folder + "/host.exe") + "x");
    options.args = "verify " + windows_path(folder + "/behind.exe");
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 1u);
    // A folder is bad input, not a container that fails.
    options.args = "verify " + windows_path(folder);
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 2u);
}

// Extraction on Windows: temporaries created exclusively, all or nothing.
TEST(WindowsPackTool, ExtractsAllOrNothing) {
    std::string folder = fresh_test_folder();
    write_file(folder + "/stub.exe", minimal_pe(2048));
    write_file(folder + "/a.bin", "first");
    write_file(folder + "/b.bin", "second");
    pack::build_container(folder + "/stub.exe",
                          {pack::file_record("a", "a.exe", folder + "/a.bin"),
                           pack::file_record("b", "b.exe", folder + "/b.bin")},
                          folder + "/packed.exe");
    std::filesystem::create_directories(folder + "/out/a.exe");  // met last
    run_options options;
    options.args = "extract " + windows_path(folder + "/packed.exe") + " -o " + windows_path(folder + "/out");
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 2u);
    EXPECT_EQ(list_tree(folder + "/out"), std::vector<std::string>{"a.exe/"});

    std::filesystem::remove(folder + "/out/a.exe");
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 0u);
    EXPECT_EQ(list_tree(folder + "/out"), (std::vector<std::string>{"a.exe", "b.exe"}));
    EXPECT_EQ(read_file(folder + "/out/a.exe"), "first");
    EXPECT_EQ(read_file(folder + "/out/b.exe"), "second");
}

}  // namespace
}  // namespace trevan::harness
