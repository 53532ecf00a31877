// Temporary outputs: created only where nothing is, never through a link,
// under names nobody can guess.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/pack/file_helpers.h"
#include "tools/pack/temp_file.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;

class TempFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / "trevan-temp-file-test";
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        std::ofstream(dir_ / "target") << "keep";
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(TempFile, NothingIsEverCreatedThroughAnExistingName) {
    fs::create_symlink(dir_ / "target", dir_ / "link");
    fs::create_symlink(dir_ / "nowhere", dir_ / "dangling");
    fs::create_directory(dir_ / "folder");
    for (const char* name : {"target", "link", "dangling", "folder"}) {
        errno = 0;
        EXPECT_EQ(create_exclusive((dir_ / name).string()), nullptr) << name;
        EXPECT_EQ(errno, EEXIST) << name;
    }
    EXPECT_EQ(read_all(dir_ / "target"), "keep");
    EXPECT_FALSE(fs::exists(dir_ / "nowhere"));

    stdio_file created(create_exclusive((dir_ / "new").string()));
    ASSERT_TRUE(created);
    EXPECT_EQ(std::fputs("x", created.get()) >= 0, true);
}

TEST_F(TempFile, NamesAreFreshAndUnpredictable) {
    const std::string prefix = (dir_ / "out.exe.trevan-pack-").string();
    std::set<std::string> names;
    for (int i = 0; i < 20; ++i) {
        temp_file t = create_temp_file(prefix);
        ASSERT_TRUE(t.file);
        ASSERT_EQ(t.path.size(), prefix.size() + 16 + 4);
        EXPECT_EQ(t.path.compare(0, prefix.size(), prefix), 0);
        EXPECT_EQ(t.path.find_first_not_of("0123456789abcdef", prefix.size()), prefix.size() + 16) << t.path;
        names.insert(t.path);
    }
    EXPECT_EQ(names.size(), 20u);

    temp_file missing = create_temp_file((dir_ / "no" / "such" / "x").string());
    EXPECT_FALSE(missing.file);
    EXPECT_EQ(errno, ENOENT);
}

}  // namespace
}  // namespace trevan::pack
