// The last checks before the setup program starts (under Wine): the held
// file must be a regular file lying directly in the held work folder. The
// held files find only what the extraction kept, so here a file outside the
// work folder and a folder inside it are kept on purpose under the name of
// a program that lies in the work folder, and the checks alone decide.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/launch_win32.h"
#include "app/temp_folder.h"
#include "app/work_folder.h"
#include "container/extract_win32.h"
#include "support/platform/handle.h"

namespace trevan {
namespace {

constexpr DWORD standin_exit_code = 7;

class LaunchChecks : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        // Process ids come again in a later Wine session: the time too.
        root_ = std::string(temp) + "trevan-launch-" + std::to_string(GetCurrentProcessId()) + "-" +
                std::to_string(GetTickCount()) + "\\";
        ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
        // A work folder as the run makes it: created in the held folder and
        // held.
        vennic::error_or<temp_folder> temp_folder = open_temp_folder(std::wstring(root_.begin(), root_.end()));
        ASSERT_TRUE(temp_folder) << temp_folder.error();
        made_ = make_work_folder(*temp_folder);
        ASSERT_FALSE(made_.failure.has_value());
        work_ = made_.folder.path();
        ASSERT_TRUE(SetEnvironmentVariableA("TREVAN_STANDIN_EXIT", std::to_string(standin_exit_code).c_str()));
    }
    void TearDown() override {
        SetEnvironmentVariableA("TREVAN_STANDIN_EXIT", nullptr);
        files_.release();
        made_.folder.remove();
        // The folder's parent became the current directory.
        SetCurrentDirectoryA("C:\\");
        DeleteFileA((root_ + "Setup.exe").c_str());
        RemoveDirectoryA(root_.c_str());
    }

    // A program that ends with standin_exit_code, held as the extracted file
    // name.
    void hold_program(const std::string& path, const wchar_t* name) {
        ASSERT_TRUE(CopyFileA(STANDIN, path.c_str(), TRUE)) << path << ": " << GetLastError();
        hold(path, name, GENERIC_READ | FILE_READ_ATTRIBUTES, 0);
    }
    void hold_folder(const std::string& path, const wchar_t* name) {
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
        hold(path, name, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
    }
    void hold(const std::string& path, const wchar_t* name, DWORD access, DWORD flags) {
        vennic::unique_handle held(
            CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
        ASSERT_TRUE(held) << path << ": " << GetLastError();
        files_.keep(name, std::move(held));
        ASSERT_NE(files_.find(name), nullptr) << path;
    }

    launch_result launch(const std::string& name) {
        launch_plan plan;
        plan.name = name;
        plan.file = work_ + name;
        plan.directory = work_.substr(0, work_.size() - 1);
        plan.method = start_method::create_process;
        return launch_setup_program(plan, "/S", false, made_.folder, files_);
    }

    std::string root_;
    std::string work_;
    work_folder_result made_;
    extracted_files files_;
};

TEST_F(LaunchChecks, ARegularFileDirectlyInTheWorkFolderStarts) {
    hold_program(work_ + "Setup.exe", L"Setup.exe");
    const launch_result result = launch("Setup.exe");
    EXPECT_FALSE(result.failure.has_value()) << result.failure->caption << " " << result.failure->error;
    EXPECT_EQ(result.exit_code, standin_exit_code);
}

// The file the held handle is of decides, not the name: an unheld program
// lies at the name in the work folder, and must never start.
class LaunchOfAnotherFile : public LaunchChecks {
protected:
    void SetUp() override {
        LaunchChecks::SetUp();
        ASSERT_TRUE(CopyFileA(STANDIN, (work_ + "Setup.exe").c_str(), TRUE)) << GetLastError();
        ASSERT_TRUE(SetEnvironmentVariableA("TREVAN_STANDIN_LOG", records().c_str()));
    }
    void TearDown() override {
        SetEnvironmentVariableA("TREVAN_STANDIN_LOG", nullptr);
        DeleteFileA(records().c_str());
        LaunchChecks::TearDown();
    }
    std::string records() const { return root_ + "records.txt"; }
    void expect_not_started(const launch_result& result) const {
        ASSERT_TRUE(result.failure.has_value()) << "exit code " << result.exit_code;
        EXPECT_EQ(result.failure->caption, "ShellExecuteEx failed");
        EXPECT_EQ(result.failure->error, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND));
        EXPECT_NE(result.exit_code, standin_exit_code);
        EXPECT_EQ(GetFileAttributesA(records().c_str()), INVALID_FILE_ATTRIBUTES) << "the unheld program ran";
    }
};

TEST_F(LaunchOfAnotherFile, AProgramHeldOutsideTheWorkFolderNeverStarts) {
    hold_program(root_ + "Setup.exe", L"Setup.exe");
    expect_not_started(launch("Setup.exe"));
}

TEST_F(LaunchOfAnotherFile, AFolderHeldInTheWorkFolderNeverStarts) {
    hold_folder(work_ + "Folder", L"Setup.exe");
    expect_not_started(launch("Setup.exe"));
}

}  // namespace
}  // namespace trevan
