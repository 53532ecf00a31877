// The last checks before the setup program starts (under Wine): the held
// file must be a regular file lying directly in the held work folder. The
// held files find only what the extraction kept, so here a file outside the
// work folder and a folder inside it are kept on purpose, and the checks
// alone decide.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/dialect.h"
#include "app/launch.h"
#include "container/extract.h"
#include "support/platform/file_identity.h"
#include "support/platform/handle.h"

namespace trevan {
namespace {

constexpr DWORD standin_exit_code = 7;

class LaunchChecks : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        root_ = std::string(temp) + "trevan-launch-" + std::to_string(GetCurrentProcessId()) + "\\";
        work_ = root_ + "work\\";
        ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(work_.c_str(), nullptr));
        // As the run holds it: listing and attributes, no delete sharing.
        folder_.reset(CreateFileA(work_.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        ASSERT_TRUE(folder_);
        ASSERT_TRUE(SetEnvironmentVariableA("TREVAN_STANDIN_EXIT", std::to_string(standin_exit_code).c_str()));
    }
    void TearDown() override {
        SetEnvironmentVariableA("TREVAN_STANDIN_EXIT", nullptr);
        files_.release();
        folder_.reset();
        DeleteFileA((root_ + "Setup.exe").c_str());
        DeleteFileA((work_ + "Setup.exe").c_str());
        RemoveDirectoryA((work_ + "Folder.exe").c_str());
        RemoveDirectoryA(work_.c_str());
        RemoveDirectoryA(root_.c_str());
    }

    // A program that ends with standin_exit_code, held as an extracted file.
    void hold_program(const std::string& path) {
        ASSERT_TRUE(CopyFileA(STANDIN, path.c_str(), TRUE)) << path << ": " << GetLastError();
        hold(path, GENERIC_READ | FILE_READ_ATTRIBUTES, 0);
    }
    void hold_folder(const std::string& path) {
        ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
        hold(path, FILE_READ_ATTRIBUTES, FILE_FLAG_BACKUP_SEMANTICS);
    }
    void hold(const std::string& path, DWORD access, DWORD flags) {
        vennic::unique_handle held(
            CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr));
        ASSERT_TRUE(held) << path << ": " << GetLastError();
        const vennic::file_identity identity = vennic::identity_of(held.get());
        files_.keep(std::move(held), identity);
        ASSERT_NE(files_.find(path), nullptr) << path;
    }

    launch_result launch(const std::string& file) {
        setup_start start;
        start.plan.name = file.substr(file.rfind('\\') + 1);
        start.plan.file = file;
        start.plan.directory = root_;
        start.plan.method = start_method::create_process;
        start.program = file;
        start.parameters = "/S";
        start.command_line = direct_command_line(file, "/S");
        return launch_setup_program(start, false, folder_.get(), files_);
    }

    std::string root_;
    std::string work_;
    vennic::unique_handle folder_;
    extracted_files files_;
};

TEST_F(LaunchChecks, ARegularFileDirectlyInTheWorkFolderStarts) {
    hold_program(work_ + "Setup.exe");
    const launch_result result = launch(work_ + "Setup.exe");
    EXPECT_FALSE(result.failure.has_value()) << result.failure->caption << " " << result.failure->error;
    EXPECT_EQ(result.exit_code, standin_exit_code);
}

TEST_F(LaunchChecks, NeitherAProgramOutsideTheWorkFolderNorAFolderInItStarts) {
    hold_program(root_ + "Setup.exe");
    hold_folder(work_ + "Folder.exe");
    for (const std::string& file : {root_ + "Setup.exe", work_ + "Folder.exe"}) {
        const launch_result result = launch(file);
        ASSERT_TRUE(result.failure.has_value()) << file << ": exit code " << result.exit_code;
        EXPECT_EQ(result.failure->caption, "ShellExecuteEx failed") << file;
        EXPECT_EQ(result.failure->error, static_cast<unsigned long>(ERROR_FILE_NOT_FOUND)) << file;
    }
}

}  // namespace
}  // namespace trevan
