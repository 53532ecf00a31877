// Removing a tree through held handles only (under Wine): what goes, what
// stays, paths past MAX_PATH, and a folder that is no longer the one
// expected. Links made from Linux are tested end to end.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/platform/file_identity.h"
#include "support/platform/handle.h"
#include "support/platform/tree_removal.h"
#include "tests/support/test_tree.h"

namespace {

class TreeRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string test = info->name();
        root_ = L"\\\\?\\" + std::wstring(temp) + L"trevan-tree-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::wstring(test.begin(), test.end()) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(root_.c_str(), nullptr)) << GetLastError();
        ASSERT_TRUE(CreateDirectoryW((root_ + L"tree").c_str(), nullptr));
    }
    void TearDown() override {
        SetCurrentDirectoryW(L"C:\\");
        trevan::testing::remove_test_tree(root_);
    }

    // Paths under the test's folder, "\\?\" in front: no length limit.
    std::wstring at(const std::wstring& relative) const { return root_ + relative; }
    bool exists(const std::wstring& relative) const {
        return GetFileAttributesW(at(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    void make_folder(const std::wstring& relative) {
        ASSERT_TRUE(CreateDirectoryW(at(relative).c_str(), nullptr)) << GetLastError();
    }
    void make_file(const std::wstring& relative) {
        HANDLE h = CreateFileW(at(relative).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
        DWORD written = 0;
        WriteFile(h, "x", 1, &written, nullptr);
        CloseHandle(h);
    }
    // A folder held as the run holds its work folder: listing and
    // attributes, shared for reading and writing but not deleting.
    vennic::unique_handle hold(const std::wstring& relative) const {
        return vennic::unique_handle(CreateFileW(at(relative).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    }

    std::wstring root_;
};

TEST_F(TreeRemoval, EverythingGoesAlsoPastMaxPath) {
    make_file(L"tree\\setup.exe");
    make_file(L"tree\\.hidden-file");
    make_folder(L"tree\\a");
    make_file(L"tree\\a\\one.txt");
    // Three levels of 100 characters: the innermost paths pass MAX_PATH,
    // where no path-based call reaches them.
    std::wstring deep = L"tree\\a";
    for (int level = 0; level < 3; ++level) {
        deep += L"\\" + std::wstring(100, static_cast<wchar_t>(L'p' + level));
        make_folder(deep);
    }
    make_file(deep + L"\\deepest.txt");
    ASSERT_GT(at(deep).size() - 4, static_cast<std::size_t>(MAX_PATH));
    // Enough entries in one folder to need more than one listing query.
    for (int i = 0; i < 600; ++i) make_file(L"tree\\a\\" + std::wstring(60, L'n') + std::to_wstring(i));

    vennic::unique_handle tree = hold(L"tree");
    ASSERT_TRUE(tree);
    EXPECT_TRUE(vennic::remove_contents(tree.get()));
    for (const wchar_t* gone : {L"tree\\setup.exe", L"tree\\.hidden-file", L"tree\\a"})
        EXPECT_FALSE(exists(gone)) << gone;
    EXPECT_TRUE(exists(L"tree"));
    // An empty folder is emptied at once.
    EXPECT_TRUE(vennic::remove_contents(tree.get()));
}

TEST_F(TreeRemoval, ReadOnlyFilesAndDotFoldersStayWithTheirParents) {
    make_folder(L"tree\\ro");
    make_file(L"tree\\ro\\locked.txt");
    ASSERT_TRUE(SetFileAttributesW(at(L"tree\\ro\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    make_folder(L"tree\\.cache");
    make_file(L"tree\\.cache\\data");
    make_folder(L"tree\\gone");
    make_file(L"tree\\gone\\file");

    vennic::unique_handle tree = hold(L"tree");
    EXPECT_FALSE(vennic::remove_contents(tree.get()));
    EXPECT_TRUE(exists(L"tree\\ro\\locked.txt"));
    EXPECT_TRUE(exists(L"tree\\.cache\\data"));
    EXPECT_FALSE(exists(L"tree\\gone"));
}

// The folder is deleted only while it is the one emptied: by its identity,
// not its name, and only when empty.
TEST_F(TreeRemoval, AnEmptyFolderIsDeletedOnlyWhileItIsTheOneExpected) {
    vennic::unique_handle parent = hold(L"");
    ASSERT_TRUE(parent);
    vennic::file_identity tree_id;
    {
        vennic::unique_handle tree = hold(L"tree");
        tree_id = vennic::identity_of(tree.get());
    }
    ASSERT_TRUE(tree_id.known);

    // Another folder under the name.
    ASSERT_TRUE(MoveFileW(at(L"tree").c_str(), at(L"emptied").c_str()));
    make_folder(L"tree");
    EXPECT_FALSE(vennic::remove_empty_folder(parent.get(), L"tree", tree_id));
    EXPECT_TRUE(exists(L"tree"));
    // A file under the name.
    ASSERT_TRUE(RemoveDirectoryW(at(L"tree").c_str()));
    make_file(L"tree");
    EXPECT_FALSE(vennic::remove_empty_folder(parent.get(), L"tree", tree_id));
    EXPECT_TRUE(exists(L"tree"));
    EXPECT_FALSE(vennic::remove_empty_folder(parent.get(), L"missing", tree_id));

    // The folder itself, not empty, then empty.
    make_file(L"emptied\\left.txt");
    EXPECT_FALSE(vennic::remove_empty_folder(parent.get(), L"emptied", tree_id));
    EXPECT_TRUE(exists(L"emptied\\left.txt"));
    ASSERT_TRUE(DeleteFileW(at(L"emptied\\left.txt").c_str()));
    EXPECT_TRUE(vennic::remove_empty_folder(parent.get(), L"emptied", tree_id));
    EXPECT_FALSE(exists(L"emptied"));
}

// A second name of a file outside, which is all Wine can make from a
// Windows program: the name goes, the file stays whole.
TEST_F(TreeRemoval, AHardLinkGoesAsANameAndItsFileStays) {
    make_file(L"outside.txt");
    ASSERT_TRUE(CreateHardLinkW(at(L"tree\\link.txt").c_str(), at(L"outside.txt").c_str(), nullptr))
        << GetLastError();
    vennic::unique_handle tree = hold(L"tree");
    EXPECT_TRUE(vennic::remove_contents(tree.get()));
    EXPECT_FALSE(exists(L"tree\\link.txt"));
    EXPECT_TRUE(exists(L"outside.txt"));
}

}  // namespace
