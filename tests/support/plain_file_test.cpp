// Opening files in a folder that others can write: only plain files, never
// through a second name (on a real file system, under Wine; links made from
// Linux are tested end to end).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>

#include "support/platform/plain_file.h"

namespace {

using vennic::open_plain_file;
using vennic::when_missing;

class PlainFile : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::string(temp) + "trevan-plain-" + std::to_string(GetCurrentProcessId()) + "-" + info->name() +
                  "-with-a-long-name\\";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
    }
    void TearDown() override {
        for (const char* name : {"plain.txt", "target.txt", "second.txt", "new.txt"})
            DeleteFileA((folder_ + name).c_str());
        RemoveDirectoryA((folder_ + "sub").c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    void put(const std::string& name, const std::string& bytes) {
        std::ofstream out(folder_ + name, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string contents(const std::string& name) const {
        std::ifstream in(folder_ + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string folder_;
};

TEST_F(PlainFile, OpensAPlainFileUnderAnyOfItsSpellings) {
    put("plain.txt", "x");
    std::string upper = folder_ + "PLAIN.TXT";
    char short_form[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA((folder_ + "plain.txt").c_str(), short_form, MAX_PATH), 0u);
    ASSERT_NE(std::string(short_form), folder_ + "plain.txt") << "the folder is expected to have a short name";
    for (const std::string& path : {folder_ + "plain.txt", upper, std::string(short_form)}) {
        DWORD error = 1;
        vennic::unique_handle file = open_plain_file(path, GENERIC_WRITE, when_missing::fail, error);
        EXPECT_TRUE(file) << path << ": " << error;
        EXPECT_EQ(error, 0u) << path;
    }
}

TEST_F(PlainFile, CreatesOnlyWhenAskedAndOnlyWhereNothingIs) {
    DWORD error = 0;
    EXPECT_FALSE(open_plain_file(folder_ + "new.txt", GENERIC_WRITE, when_missing::fail, error));
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA((folder_ + "new.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(open_plain_file(folder_ + "new.txt", GENERIC_WRITE, when_missing::create, error));
    EXPECT_NE(GetFileAttributesA((folder_ + "new.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    // An existing file is opened, not emptied.
    put("plain.txt", "kept");
    EXPECT_TRUE(open_plain_file(folder_ + "plain.txt", GENERIC_WRITE, when_missing::create, error));
    EXPECT_EQ(contents("plain.txt"), "kept");
}

TEST_F(PlainFile, RefusesFoldersAndFilesWithASecondName) {
    ASSERT_TRUE(CreateDirectoryA((folder_ + "sub").c_str(), nullptr));
    put("target.txt", "theirs");
    ASSERT_TRUE(CreateHardLinkA((folder_ + "second.txt").c_str(), (folder_ + "target.txt").c_str(), nullptr));
    for (const char* name : {"sub", "second.txt", "target.txt"}) {
        for (when_missing missing : {when_missing::fail, when_missing::create}) {
            DWORD error = 0;
            EXPECT_FALSE(open_plain_file(folder_ + name, GENERIC_WRITE, missing, error)) << name;
            EXPECT_NE(error, 0u) << name;
        }
    }
    EXPECT_EQ(contents("target.txt"), "theirs");
}

}  // namespace
