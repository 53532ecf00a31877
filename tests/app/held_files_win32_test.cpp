// The extracted files on a real file system (under Wine): each held from the
// end of its writing until the run releases it, so that nobody can change,
// rename or delete the setup program before it starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <string>

#include "container/extract.h"
#include "container/writer.h"
#include "tests/container/container_fixtures.h"

namespace trevan {
namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HeldFiles : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        root_ = std::string(temp) + "trevan-held-" + std::to_string(GetCurrentProcessId()) + "-" + info->name() + "\\";
        work_ = root_ + "work\\";
        ASSERT_TRUE(CreateDirectoryA(root_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(work_.c_str(), nullptr));
    }
    void TearDown() override {
        for (const char* name : {"VorbelquintSetup.exe", "VorbelquintSetup_x64.exe", "Setup.exe", "Setup.exe.moved"})
            DeleteFileA((work_ + name).c_str());
        RemoveDirectoryA(work_.c_str());
        DeleteFileA(archive().c_str());
        RemoveDirectoryA(root_.c_str());
    }
    std::string archive() const { return root_ + "Setup-with-container.exe"; }
    void write_archive(const std::string& bytes) {
        std::ofstream out(archive(), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    std::string root_;
    std::string work_;
};

TEST_F(HeldFiles, NobodyChangesRenamesOrDeletesThemUntilReleased) {
    const std::string data32 = fixtures::pseudo_random_bytes(70000, 32);
    const std::string data64 = fixtures::pseudo_random_bytes(3 << 20, 64);
    write_archive(fixtures::sample_container(fixtures::pseudo_random_bytes(4096, 1), data32, data64));
    SettingsMap settings;
    extracted_files files;
    const extraction_result result = extract_payload(archive(), work_, settings, files);
    ASSERT_TRUE(result.ok);
    ASSERT_FALSE(result.failure.has_value());

    for (const char* name : {"VorbelquintSetup.exe", "VorbelquintSetup_x64.exe"}) {
        const std::string path = work_ + name;
        const HANDLE held = files.find(path);
        EXPECT_NE(held, nullptr) << name;
        // Found under any name of the file.
        std::string upper = path;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
        EXPECT_EQ(files.find(upper), held) << name;

        HANDLE writer = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << name;
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        EXPECT_FALSE(DeleteFileA(path.c_str())) << name;
        EXPECT_FALSE(MoveFileA(path.c_str(), (path + ".moved").c_str())) << name;
        // Reading, as a program's start does, is fine.
        EXPECT_EQ(contents(path), std::string(name) == "VorbelquintSetup.exe" ? data32 : data64) << name;
    }
    EXPECT_EQ(files.find(work_ + "missing.exe"), nullptr);
    EXPECT_EQ(files.find(archive()), nullptr) << "not written by the extraction";

    files.release();
    EXPECT_EQ(files.find(work_ + "VorbelquintSetup.exe"), nullptr);
    EXPECT_TRUE(MoveFileA((work_ + "VorbelquintSetup.exe").c_str(), (work_ + "Setup.exe.moved").c_str()));
    EXPECT_TRUE(DeleteFileA((work_ + "VorbelquintSetup_x64.exe").c_str()));
}

TEST_F(HeldFiles, ANameWrittenTwiceHoldsTheLastData) {
    std::string container;
    append_stub(container, fixtures::pseudo_random_bytes(4096, 2), "Trevan.exe");
    append_file_record(container, "first", "Setup.exe", "met last by the walk");
    append_file_record(container, "second", "Setup.exe", "met first");
    append_tail(container);
    write_archive(container);
    SettingsMap settings;
    extracted_files files;
    const extraction_result result = extract_payload(archive(), work_, settings, files);
    ASSERT_TRUE(result.ok);
    EXPECT_FALSE(result.failure.has_value());
    EXPECT_EQ(contents(work_ + "Setup.exe"), "met last by the walk");
    EXPECT_NE(files.find(work_ + "Setup.exe"), nullptr);
}

}  // namespace
}  // namespace trevan
