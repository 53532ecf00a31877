// Where an open file lies, as its handle tells: the decision on places as
// the system would give them, and real handles past MAX_PATH (under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/platform/file_place.h"
#include "support/platform/handle.h"
#include "tests/support/test_tree.h"

namespace {

using vennic::file_place;

TEST(FilePlace, AnEntryLiesDirectlyInItsFolderOnTheSameVolumeOnly) {
    const file_place folder{7, L"\\Users\\u\\Temp\\VORBELQ1"};
    const struct {
        file_place entry;
        bool in;
    } rows[] = {
        {{7, L"\\Users\\u\\Temp\\VORBELQ1\\Setup.exe"}, true},
        {{7, L"\\USERS\\U\\TEMP\\vorbelq1\\Setup.exe"}, true},
        {{8, L"\\Users\\u\\Temp\\VORBELQ1\\Setup.exe"}, false},  // another volume, the same path
        {{7, L"\\Users\\u\\Temp\\VORBELQ1\\sub\\Setup.exe"}, false},
        {{7, L"\\Users\\u\\Temp\\Setup.exe"}, false},
        {{7, L"\\Users\\u\\Temp\\VORBELQ10\\Setup.exe"}, false},
        {{7, L"\\Users\\u\\Temp\\VORBELQ1"}, false},
        {{7, L""}, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(vennic::lies_directly_in(row.entry, folder), row.in)
            << std::string(row.entry.path.begin(), row.entry.path.end());
    // A volume's root as the folder, with its backslash; no place known.
    EXPECT_TRUE(vennic::lies_directly_in({7, L"\\VORBELQ1"}, {7, L"\\"}));
    EXPECT_FALSE(vennic::lies_directly_in({7, L"\\VORBELQ1\\Setup.exe"}, {7, L""}));
}

TEST(FilePlace, HandlesTellWhereTheyLiePastMaxPath) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root =
        L"\\\\?\\" + std::wstring(temp) + L"trevan-place-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    const std::wstring folder = root + std::wstring(120, L'f') + L"\\" + std::wstring(120, L'g');
    // Removed after the handles below are closed.
    struct removal {
        std::wstring root;
        ~removal() { trevan::testing::remove_test_tree(root); }
    } removed_at_end{root};
    ASSERT_TRUE(CreateDirectoryW(root.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((root + std::wstring(120, L'f')).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\sub").c_str(), nullptr));
    const std::wstring file = folder + L"\\Setup.exe";
    ASSERT_GT(file.size() - 4, static_cast<std::size_t>(MAX_PATH));
    {
        vennic::unique_handle created(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(created);
    }
    const vennic::unique_handle held(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    const vennic::unique_handle opened(
        CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    const vennic::unique_handle sub(CreateFileW((folder + L"\\sub").c_str(), FILE_READ_ATTRIBUTES,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(held && opened && sub);
    const file_place folder_place = vennic::place_of(held.get());
    EXPECT_EQ(folder_place.path.substr(folder_place.path.size() - 120), std::wstring(120, L'g'));
    EXPECT_TRUE(vennic::lies_directly_in(vennic::place_of(opened.get()), folder_place));
    EXPECT_FALSE(vennic::lies_directly_in(vennic::place_of(opened.get()), vennic::place_of(sub.get())));
    EXPECT_TRUE(vennic::place_of(INVALID_HANDLE_VALUE).path.empty());
}

}  // namespace
