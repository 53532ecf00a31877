// The harness itself: exit codes, message boxes, temporary folders, mutexes.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/harness/wine_harness.h"

namespace trevan::harness {
namespace {

std::string helper(const std::string& name) { return win64_dir() + "/tests/harness/" + name; }

TEST(Harness, SeesBothBoxesExactlyAndTheFullExitCode) {
    std::string temp = fresh_test_folder();
    run_options options;
    options.temp_dir = temp;
    run_result r = run_program(helper("two_boxes.exe"), options);
    EXPECT_EQ(r.exit_code, 0x80070643u);
    EXPECT_FALSE(r.timed_out);
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(r.boxes[0], (message_box{"First caption", "First text\nsecond line"}));
    EXPECT_EQ(r.boxes[1], (message_box{std::string(600, 'c') + "[end]", "File: C:\\x\rError: none"}));
    EXPECT_TRUE(r.temp_entries.empty());
}

TEST(Harness, HolderKeepsTheMutexFromOtherProcesses) {
    std::string name = "Global\\trevan.harness.test";
    {
        mutex_holder holder(name);
        // A second holder cannot take what the first owns.
        EXPECT_THROW(mutex_holder second(name), std::runtime_error);
    }
    // Once the first has ended (abandoning the mutex) it can be taken again.
    mutex_holder third(name, true);
}

TEST(Harness, WindowsPathsMapToDriveZ) {
    EXPECT_EQ(windows_path("/tmp/a/b"), "Z:\\tmp\\a\\b");
    EXPECT_EQ(windows_path("/tmp/a/../c/"), "Z:\\tmp\\c\\");
}

}  // namespace
}  // namespace trevan::harness
