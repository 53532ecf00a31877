// The Windows build of trevan-pack under wine64: the same bytes as the host
// build from the same inputs, and the same verdicts.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "container/file_reader.h"
#include "container/walk.h"
#include "tests/container/container_fixtures.h"
#include "tests/harness/wine_harness.h"
#include "tests/pack/code_page_cases.h"
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

// The Windows tool takes its arguments in UTF-16 and opens its files by
// UTF-16 paths: a folder named outside code page 1252 ("Łódź", which the
// ANSI command line would best-fit to "Lodz") packs, lists and extracts,
// and a value is stored in the code page named, never best-fitted.
TEST(WindowsPackTool, TakesUnicodeArgumentsAndPaths) {
    const std::string lodz = "Łódź";
    const std::string folder = fresh_test_folder() + "/" + lodz;
    std::filesystem::create_directories(folder);
    write_file(folder + "/stub.exe", minimal_pe(2048));
    write_file(folder + "/setup.exe", "setup");
    const std::string win_folder = windows_path(folder);
    run_options options;
    options.args = "build --stub \"" + win_folder + "\\stub.exe\" --file \"installer64=" + win_folder +
                   "\\setup.exe\" --value \"city=" + lodz + "\" --code-page 1250 --no-check stub " +
                   "--no-check executable32 --no-check executable64 -o \"" + win_folder + "\\out.exe\"";
    ASSERT_EQ(run_program(windows_tool(), options).exit_code, 0u);
    file_reader in(folder + "/out.exe");
    SettingsMap settings;
    ASSERT_TRUE(walk_container(in, settings).ok);
    EXPECT_EQ(settings.at("city"), "\xa3\xf3\x64\x9f");
    EXPECT_EQ(settings.at("code_page"), "1250");
    EXPECT_EQ(settings.at("installer64"), "setup.exe");

    std::string listed;
    ASSERT_EQ(run_wine({windows_tool(), "list", "--json", win_folder + "\\out.exe"}, &listed), 0) << listed;
    const std::string listing = listed.substr(listed.find('{'));
    const nlohmann::json parsed = nlohmann::json::parse(listing);
    EXPECT_EQ(parsed["code_page"], 1250);
    bool found = false;
    for (const auto& record : parsed["records"])
        found = found || (record["setting"] == "city" && record["value"] == lodz);
    EXPECT_TRUE(found) << listing;

    options.args = "extract \"" + win_folder + "\\out.exe\" -o \"" + win_folder + "\\x\"";
    ASSERT_EQ(run_program(windows_tool(), options).exit_code, 0u);
    EXPECT_EQ(read_file(folder + "/x/setup.exe"), "setup");

    // Code page 1252 would best-fit "Ł" to "L": refused instead.
    options.args = "build --stub \"" + win_folder + "\\stub.exe\" --value \"city=" + lodz + "\" " +
                   "--code-page 1252 --no-check stub --no-check executable32 --no-check executable64 -o \"" +
                   win_folder + "\\best-fit.exe\"";
    EXPECT_EQ(run_program(windows_tool(), options).exit_code, 2u);
    EXPECT_FALSE(std::filesystem::exists(folder + "/best-fit.exe"));
}

// The Win32 conversion stores each ANSI code page's text as Windows' table
// does, and refuses what the code page cannot hold; list shows it again.
TEST(WindowsPackTool, StoresEveryAnsiCodePage) {
    const std::string folder = fresh_test_folder();
    write_file(folder + "/stub.exe", minimal_pe(2048));
    for (const pack::code_page_case& c : pack::code_page_cases) {
        const std::string page = std::to_string(c.code_page), out = folder + "/" + page + ".exe";
        SCOPED_TRACE(page);
        const std::string common = " --code-page " + page + " --no-check stub --no-check executable32 --no-check " +
                                   "executable64 --stub \"" + windows_path(folder + "/stub.exe") + "\" -o \"" +
                                   windows_path(out) + "\"";
        run_options options;
        options.args = "build --value \"text=a" + std::string(c.lacked) + "\"" + common;
        EXPECT_EQ(run_program(windows_tool(), options).exit_code, 2u);
        EXPECT_FALSE(std::filesystem::exists(out));
        options.args = "build --value \"text=" + std::string(c.text) + "\"" + common;
        ASSERT_EQ(run_program(windows_tool(), options).exit_code, 0u);
        file_reader in(out);
        SettingsMap settings;
        ASSERT_TRUE(walk_container(in, settings).ok);
        EXPECT_EQ(settings.at("text"), c.stored);
        std::string listed;
        ASSERT_EQ(run_wine({windows_tool(), "extract", windows_path(out), "-o", windows_path(folder + "/x" + page),
                            "--json"},
                           &listed),
                  0);
        EXPECT_EQ(nlohmann::json::parse(listed.substr(listed.find('{')))["text"], c.text);
    }
}

}  // namespace
}  // namespace trevan::harness
