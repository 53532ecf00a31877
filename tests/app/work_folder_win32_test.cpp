// The work folder on a real file system (under Wine): making a fresh one,
// and removing a tree with what must stay.
#include <windows.h>

#include <gtest/gtest.h>

#include <ctime>
#include <string>

#include "app/work_folder.h"

namespace trevan {
namespace {

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void make_file(const std::string& path, const char* text = "x") {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(h);
}

class WorkFolder : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "trevan-work-folder-test-" + std::to_string(GetCurrentProcessId()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
    }
    void TearDown() override {
        SetCurrentDirectoryA("C:\\");
        // Whatever a test left read-only must not keep the next run's folder.
        std::string cmd = "cmd /c attrib -r \"" + root_ + "*\" /s /d >nul 2>&1 & rmdir /s /q \"" + root_ + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        if (CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
            WaitForSingleObject(pi.hProcess, 30000);
            CloseHandle(pi.hProcess);
            CloseHandle(pi.hThread);
        }
    }
    std::string root_;
};

TEST_F(WorkFolder, RemoveTreeDeletesEverythingItMay) {
    const std::string top = root_ + "tree";
    ASSERT_TRUE(CreateDirectoryA(top.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((top + "\\a").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((top + "\\a\\b").c_str(), nullptr));
    make_file(top + "\\setup.exe");
    make_file(top + "\\a\\one.txt");
    make_file(top + "\\a\\b\\two.txt");
    // Without a trailing separator as with one.
    EXPECT_TRUE(remove_tree(top));
    EXPECT_FALSE(exists(top));
}

TEST_F(WorkFolder, ReadOnlyFilesAndDotFoldersStayWithTheirParents) {
    const std::string top = root_ + "tree\\";
    ASSERT_TRUE(CreateDirectoryA(top.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((top + "ro").c_str(), nullptr));
    make_file(top + "ro\\locked.txt");
    ASSERT_TRUE(SetFileAttributesA((top + "ro\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(CreateDirectoryA((top + ".cache").c_str(), nullptr));
    make_file(top + ".cache\\data");
    ASSERT_TRUE(CreateDirectoryA((top + "gone").c_str(), nullptr));
    make_file(top + "gone\\file");
    make_file(top + ".hidden-file");

    EXPECT_FALSE(remove_tree(top));
    EXPECT_TRUE(exists(top + "ro\\locked.txt"));
    EXPECT_TRUE(exists(top + ".cache\\data"));
    EXPECT_FALSE(exists(top + "gone"));
    // Only folders are passed over for a leading dot; files are deleted.
    EXPECT_FALSE(exists(top + ".hidden-file"));
}

TEST_F(WorkFolder, RemoveTreeOfAMissingFolderIsFalse) {
    EXPECT_FALSE(remove_tree(root_ + "missing\\"));
    EXPECT_TRUE(exists(root_));
}

TEST(TempPath, EndsInABackslashAndTooLongIsNone) {
    std::string temp = temp_path();
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), '\\');

    // A directory that does not fit the 260-character buffer is no
    // directory at all, never a cut one.
    const std::string long_dir = "C:\\" + std::string(300, 'd');
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", long_dir.c_str()));
    EXPECT_EQ(temp_path(), "");
    SetEnvironmentVariableA("TMP", nullptr);
}

TEST_F(WorkFolder, AFolderOfTheSameNameIsNeverUsed) {
    // Point the temporary directory at a folder of this test and plant the
    // names of the next seconds there.
    const std::string temp = root_ + "temp\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp.c_str()));
    const long long now = static_cast<long long>(std::time(nullptr));
    for (long long t = now - 1; t <= now + 4; ++t) {
        const std::string planted = temp + work_folder_name(t);
        ASSERT_TRUE(CreateDirectoryA(planted.c_str(), nullptr));
        make_file(planted + "setup.dll", "planted");
    }
    work_folder_result made = make_work_folder(temp_path());
    ASSERT_FALSE(made.failure.has_value());
    const std::string& folder = made.path;
    EXPECT_EQ(folder.rfind(temp + "VORBELQ", 0), 0u) << folder;
    EXPECT_EQ(folder.back(), '\\');
    for (long long t = now - 1; t <= now + 4; ++t) EXPECT_NE(folder, temp + work_folder_name(t));
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_EQ(std::string(cwd) + "\\", folder);
    for (long long t = now - 1; t <= now + 4; ++t)
        EXPECT_TRUE(exists(temp + work_folder_name(t) + "setup.dll"));
    SetEnvironmentVariableA("TMP", nullptr);
}

TEST_F(WorkFolder, ATemporaryPathThatIsAFileEndsTheRun) {
    const std::string file = root_ + "not-a-folder";
    make_file(file);
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", (file + "\\").c_str()));
    work_folder_result made = make_work_folder(temp_path());
    ASSERT_TRUE(made.failure.has_value());
    EXPECT_EQ(made.failure->caption, "SetCurrentDirectory failed");
    EXPECT_EQ(made.failure->text, "Unable to set Working Directory");
    EXPECT_NE(made.failure->error, 0u);
    SetEnvironmentVariableA("TMP", nullptr);
}

}  // namespace
}  // namespace trevan
