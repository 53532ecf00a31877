// The MSI log held for each kind of setup program, on a real file system
// (under Wine): the setup program's own open of its log, made as that kind's
// log writer makes it, succeeds while the run holds the file, and nobody
// renames or deletes the file meanwhile.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/msi_log.h"
#include "app/temp_folder.h"
#include "support/platform/handle.h"

namespace trevan {
namespace {

// How a setup program opens the log it is pointed at: always for writing,
// sharing only what its writer shares.
struct log_writer {
    const char* name;
    DWORD share;
    DWORD disposition;
};
// Wine's msi (MsiEnableLogW, and each package it opens).
constexpr log_writer windows_installer{"Windows Installer", FILE_SHARE_WRITE, OPEN_ALWAYS};
// Inno Setup's StartLoggingWithFixedFilename and Burn's LogOpen.
constexpr log_writer inno_setup{"Inno Setup", FILE_SHARE_READ, CREATE_ALWAYS};
constexpr log_writer burn{"Burn", FILE_SHARE_READ, CREATE_ALWAYS};

class MsiLog : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::wstring(temp) + L"trevan-msilog-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                  std::wstring(info->name(), info->name() + std::strlen(info->name())) + L"\\";
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        vennic::error_or<temp_folder> opened = open_temp_folder(folder_);
        ASSERT_TRUE(opened) << opened.error();
        temp_ = std::move(*opened);
    }
    void TearDown() override {
        temp_.handle.reset();
        DeleteFileW(log_path().c_str());
        DeleteFileW((folder_ + L"moved.txt").c_str());
        RemoveDirectoryW(folder_.c_str());
    }
    std::wstring log_path() const { return folder_ + L"KELMO_msi.log.txt"; }
    // The writer's open while the log is held; the system's code when it fails.
    DWORD open_as(const log_writer& writer) const {
        vennic::unique_handle file(CreateFileW(log_path().c_str(), GENERIC_WRITE, writer.share, nullptr,
                                               writer.disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError();
        DWORD written = 0;
        return WriteFile(file.get(), "log", 3, &written, nullptr) && written == 3 ? ERROR_SUCCESS : GetLastError();
    }

    std::wstring folder_;
    temp_folder temp_;
};

TEST_F(MsiLog, EachKindsLogWriterOpensTheHeldLogAndNobodyElseMovesIt) {
    const struct {
        setup_kind kind;
        const log_writer& writer;
        const log_writer& other;  // a writer that the kind's hold must refuse
    } rows[] = {
        {setup_kind::none, windows_installer, inno_setup},
        {setup_kind::msi, windows_installer, inno_setup},
        {setup_kind::inno, inno_setup, windows_installer},
        {setup_kind::burn, burn, windows_installer},
    };
    for (const auto& row : rows) {
        const std::string kind = kind_name(row.kind);
        vennic::error_or<msi_log> held = hold_msi_log(temp_, row.kind);
        ASSERT_TRUE(held) << kind << ": " << held.error();
        EXPECT_EQ(held->path, temp_.text + "KELMO_msi.log.txt") << kind;

        EXPECT_EQ(open_as(row.writer), static_cast<DWORD>(ERROR_SUCCESS)) << kind << ": " << row.writer.name;
        // The two ways of sharing exclude each other: no one hold serves both.
        EXPECT_EQ(open_as(row.other), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << kind << ": " << row.other.name;
        EXPECT_FALSE(MoveFileW(log_path().c_str(), (folder_ + L"moved.txt").c_str())) << kind;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << kind;
        EXPECT_FALSE(DeleteFileW(log_path().c_str())) << kind;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << kind;

        // Released with the run's end: the next run may take it again.
        held->file.reset();
        EXPECT_EQ(open_as(row.other), static_cast<DWORD>(ERROR_SUCCESS)) << kind;
    }
}

}  // namespace
}  // namespace trevan
