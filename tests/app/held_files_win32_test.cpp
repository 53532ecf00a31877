// The extracted files on a real file system (under Wine): each held from the
// end of its writing until the run releases it, so that nobody can change,
// rename or delete the setup program before it starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <string>

#include "container/extract_win32.h"
#include "container/writer.h"
#include "support/platform/handle.h"
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
    // The extraction as the run makes it: through the held archive, into
    // the held work folder.
    extraction_result extract(SettingsMap& settings, extracted_files& files) const {
        vennic::unique_handle in(CreateFileA(archive().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             0, nullptr));
        vennic::unique_handle folder(CreateFileA(work_.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        EXPECT_TRUE(in && folder);
        return extract_payload(archive(), vennic::error_or<HANDLE>(in.get()), work_, folder.get(), settings, files);
    }
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
    const extraction_result result = extract(settings, files);
    ASSERT_EQ(result.end, extraction_end::complete);
    ASSERT_FALSE(result.failure.has_value());

    for (const char* name : {"VorbelquintSetup.exe", "VorbelquintSetup_x64.exe"}) {
        const std::string path = work_ + name;
        const std::wstring wide_name(name, name + std::strlen(name));
        const HANDLE held = files.find(wide_name);
        EXPECT_NE(held, nullptr) << name;
        // Found under its name in any letter case.
        std::wstring upper = wide_name;
        std::transform(upper.begin(), upper.end(), upper.begin(), [](wchar_t c) { return std::towupper(c); });
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
    EXPECT_EQ(files.find(L"missing.exe"), nullptr);
    EXPECT_EQ(files.find(L"Setup-with-container.exe"), nullptr) << "not written by the extraction";

    files.release();
    EXPECT_EQ(files.find(L"VorbelquintSetup.exe"), nullptr);
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
    const extraction_result result = extract(settings, files);
    ASSERT_EQ(result.end, extraction_end::complete);
    EXPECT_FALSE(result.failure.has_value());
    EXPECT_EQ(contents(work_ + "Setup.exe"), "met last by the walk");
    EXPECT_NE(files.find(L"Setup.exe"), nullptr);
}

}  // namespace
}  // namespace trevan
