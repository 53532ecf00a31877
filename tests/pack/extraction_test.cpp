// The pack tool's extraction into a folder, driven directly: a commit that
// fails halfway puts back what it had replaced and leaves no temporary.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/pack/file_helpers.h"
#include "tools/pack/extraction.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;

void write(folder_extraction& x, const std::string& name, const std::string& data) {
    std::unique_ptr<output_file> out = x.create_output(name, static_cast<std::uint32_t>(data.size()));
    ASSERT_TRUE(out);
    ASSERT_TRUE(out->write(data.data(), data.size()));
    ASSERT_TRUE(out->finish());
}

class FolderExtraction : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / "trevan-extraction-test";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(FolderExtraction, AFailedCommitPutsBackWhatItReplaced) {
    std::ofstream(dir_ / "a.exe") << "old a";
    {
        folder_extraction x(dir_, text_reading(), nullptr);
        write(x, "a.exe", "new a");
        write(x, "b.exe", "new b");
        // Something that cannot be replaced appears where the second file goes.
        fs::create_directories(dir_ / "b.exe" / "inside");
        EXPECT_THROW(x.commit(), std::runtime_error);
    }
    EXPECT_EQ(read_all(dir_ / "a.exe"), "old a");
    EXPECT_TRUE(fs::is_directory(dir_ / "b.exe" / "inside"));
    EXPECT_EQ(names_in(dir_), (std::vector<std::string>{"a.exe", "b.exe"}));
}

TEST_F(FolderExtraction, OfTwoFilesOfOneNameTheLastWalkedStays) {
    {
        folder_extraction x(dir_, text_reading(), nullptr);
        write(x, "a.exe", "first");
        write(x, "a.exe", "second");
        x.commit();
    }
    EXPECT_EQ(read_all(dir_ / "a.exe"), "second");
    EXPECT_EQ(names_in(dir_), std::vector<std::string>{"a.exe"});
}

TEST_F(FolderExtraction, TargetsInTheWay) {
    fs::create_directories(dir_ / "folder.exe");
    std::ofstream(dir_ / "file.exe") << "x";
    fs::create_symlink(dir_ / "elsewhere", dir_ / "link.exe");
    EXPECT_NO_THROW(check_targets(dir_, {"new.exe", "file.exe", "link.exe"}));
    EXPECT_THROW(check_targets(dir_, {"new.exe", "folder.exe"}), std::runtime_error);
}

}  // namespace
}  // namespace trevan::pack
