// Paths as the system spells them (under Wine): two paths compared in any
// letter case, whether one lies directly in another, and the final paths of
// an open folder and a file in it.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/platform/handle.h"
#include "support/platform/paths.h"

namespace {

TEST(SamePath, AnyLetterCaseButNoOtherDifference) {
    const struct {
        const wchar_t* a;
        const wchar_t* b;
        bool same;
    } rows[] = {
        {L"C:\\Temp\\VORBELQ1", L"C:\\Temp\\VORBELQ1", true},
        {L"C:\\Temp\\VORBELQ1", L"c:\\temp\\vorbelq1", true},
        {L"\\\\?\\C:\\TEMP\\Vorbelq1", L"\\\\?\\c:\\temp\\VORBELQ1", true},
        {L"C:\\Temp\\\x00C4pfel", L"C:\\Temp\\\x00E4PFEL", true},
        {L"C:\\Temp\\VORBELQ1", L"C:\\Temp\\VORBELQ2", false},
        {L"C:\\Temp\\VORBELQ1", L"C:\\Temp\\VORBELQ1\\", false},
        {L"C:\\Temp\\VORBELQ1", L"C:\\Temp\\VORBELQ", false},
        {L"", L"", false},  // no path is the same as nothing
    };
    for (const auto& row : rows) {
        EXPECT_EQ(vennic::same_path(row.a, row.b), row.same) << row.a << " | " << row.b;
        EXPECT_EQ(vennic::same_path(row.b, row.a), row.same) << row.b << " | " << row.a;
    }
}

TEST(LiesDirectlyIn, OnlyAnEntryOfTheFolderItself) {
    const std::wstring folder = L"\\\\?\\C:\\Temp\\VORBELQ1";
    const struct {
        const wchar_t* path;
        bool in;
    } rows[] = {
        {L"\\\\?\\C:\\Temp\\VORBELQ1\\Setup.exe", true},
        {L"\\\\?\\c:\\temp\\vorbelq1\\SETUP.EXE", true},
        {L"\\\\?\\C:\\Temp\\VORBELQ1\\sub\\Setup.exe", false},
        {L"\\\\?\\C:\\Temp\\Setup.exe", false},
        {L"\\\\?\\C:\\Temp\\VORBELQ10\\Setup.exe", false},
        {L"\\\\?\\C:\\Temp\\VORBELQ1", false},
        {L"Setup.exe", false},
        {L"", false},
    };
    for (const auto& row : rows) EXPECT_EQ(vennic::lies_directly_in(row.path, folder), row.in) << row.path;
    EXPECT_FALSE(vennic::lies_directly_in(L"\\\\?\\C:\\Temp\\VORBELQ1\\Setup.exe", L""));
}

TEST(FinalPath, TheSystemsSpellingWhateverTheFileWasOpenedBy) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "trevan-paths-" + std::to_string(GetCurrentProcessId());
    const std::string file = folder + "\\Setup.exe";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    HANDLE created = CreateFileA(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    CloseHandle(created);

    std::string upper = file;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    vennic::unique_handle opened(CreateFileA(upper.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    vennic::unique_handle held(CreateFileA(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(opened);
    ASSERT_TRUE(held);
    const vennic::error_or<std::wstring> file_final = vennic::final_path(opened.get());
    const vennic::error_or<std::wstring> folder_final = vennic::final_path(held.get());
    ASSERT_TRUE(file_final && folder_final);
    const std::wstring& file_path = *file_final;
    const std::wstring& folder_path = *folder_final;
    EXPECT_EQ(file_path.rfind(L"\\\\?\\", 0), 0u) << "with the drive letter";
    EXPECT_EQ(file_path.substr(file_path.size() - 10), L"\\Setup.exe") << "the stored name, not the one asked for";
    EXPECT_TRUE(vennic::lies_directly_in(file_path, folder_path));
    // No path at all, but the system's code: of a handle that is none, and
    // of a long form asked for an entry that does not exist.
    EXPECT_EQ(vennic::final_path(INVALID_HANDLE_VALUE).error(), static_cast<unsigned long>(ERROR_INVALID_HANDLE));
    const vennic::error_or<std::wstring> missing = vennic::long_path(std::wstring(folder.begin(), folder.end()) + L"\\none");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error(), static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
    const vennic::error_or<std::wstring> full = vennic::full_path(L"Setup.exe");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->substr(full->size() - 10), L"\\Setup.exe");

    opened.reset();
    held.reset();
    DeleteFileA(file.c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
