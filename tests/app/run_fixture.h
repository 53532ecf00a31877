#pragma once

// Shared set-up of the end-to-end tests of the program: containers built with
// the pack library around the build of the program under test (the 64-bit
// one unless the harness's program_dir() names another), with the stand-in
// setup program inside, run under Wine with a fresh temporary folder.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/harness/wine_harness.h"
#include "container/writer.h"
#include "tools/pack/builder.h"

namespace trevan::harness {

// What one start of the stand-in setup program recorded.
struct standin_record {
    std::string command_line;
    std::string cwd;
    std::string path;
    // The parameter text: the command line behind the quoted program path
    // and the one blank that separates them.
    std::string parameters() const;
};

std::vector<standin_record> read_standin_records(const std::string& file);

// The value records of a container like the shipped one, without files.
std::vector<pack::record> sample_values();
// Both file records of the shipped container, with the stand-in as each
// setup program.
std::vector<pack::record> sample_files();
// sample_files() followed by sample_values(), the shipped order.
std::vector<pack::record> sample_records();

class ProgramRun : public ::testing::Test {
protected:
    void SetUp() override;

    // Builds the program with these records into this test's folder and
    // returns its path. The stub is the program under test unless given.
    std::string build(const std::vector<pack::record>& records, const std::string& stub = "");

    // Runs the program with the test's temporary folder and the stand-in's
    // record file; extra environment for the stand-in may be given.
    run_options options(const std::string& args = "",
                        const std::map<std::string, std::string>& env = {}) const;
    run_result run(const std::string& program, const std::string& args = "",
                   const std::map<std::string, std::string>& env = {}) const;

    // A setup program of size bytes: the stand-in with bytes behind its
    // image, which Windows loads and ignores. Made once per size beside the
    // test folders, and kept.
    std::string padded_standin(std::uint32_t size) const;

    std::vector<standin_record> records() const { return read_standin_records(records_file_); }
    // Runs the program as options say, watching for its progress window;
    // once it shows, takes a screenshot of it into screenshot_png (unless
    // empty) and only then lets the runner act on it (options.watch.press or
    // close). Fails the test when no window shows within 60 s.
    run_result run_through_progress(const std::string& program, run_options options,
                                    const std::string& screenshot_png) const;
    // The folder's Windows path with its trailing backslash, as the program
    // gets it from GetTempPathA.
    std::string temp_windows() const { return windows_path(temp_) + "\\"; }
    // Work folders (VORBELQ...) left in the temporary folder.
    std::vector<std::string> work_folders_left() const;

    std::string dir_;
    std::string temp_;
    std::string records_file_;
};

// The language sources the program reads (app/language.h) in the session's
// registry, for the unbranded program (maker "Marrowgate", product
// "Vorbelquint"): set, and removed again.
struct language_sources {
    static constexpr const char* uninstall =
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorbelquint";
    static constexpr const char* first_key = "HKCU\\SOFTWARE\\Marrowgate\\KELMO\\Misc";
    static constexpr const char* second_key = "HKCU\\SOFTWARE\\Marrowgate\\Vorbelquint\\Misc";
    static void clear();
    static void set(const char* key, const char* name, const std::string& value);
};

// The class of the program's progress window.
extern const char progress_window_class[];

// The boxes that end a run the same way wherever it fails.
extern const message_box invalid_archive;
extern const message_box already_running;

// The text as a regular expression that matches exactly it.
std::string regex_escape(const std::string& text);

// The program under test; its 64-bit variant without string 2002; the
// stand-in, a 64-bit program in every suite (as a real x64 setup program).
std::string program_path();
std::string no2002_program_path();
std::string standin_path();

}  // namespace trevan::harness
