// Opening folders and files in a folder that others can write: only plain
// ones, never through a second name (on a real file system, under Wine;
// links made from Linux are tested end to end). Wine makes no Windows links,
// so the decision on a link's attributes and final path is tested on what
// the system would tell.
#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <iterator>
#include <string>

#include "support/platform/plain_file.h"

namespace {

using vennic::open_plain_file;
using vennic::open_plain_folder;
using vennic::when_missing;

std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

class PlainFile : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        GetTempPathA(MAX_PATH, temp);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::string(temp) + "trevan-plain-" + std::to_string(GetCurrentProcessId()) + "-" + info->name() +
                  "-with-a-long-name\\";
        ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr));
        vennic::error_or<vennic::unique_handle> held = open_plain_folder(wide(folder_));
        ASSERT_TRUE(held) << held.error();
        held_ = std::move(*held);
    }
    void TearDown() override {
        held_.reset();
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
    vennic::error_or<vennic::unique_handle> open(const std::string& name, when_missing missing) const {
        return open_plain_file(held_.get(), wide(name), GENERIC_WRITE, missing,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    }

    std::string folder_;
    vennic::unique_handle held_;
};

TEST_F(PlainFile, OpensAPlainFolderUnderAnyOfItsSpellingsAndAFileInIt) {
    char short_form[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameA(folder_.c_str(), short_form, MAX_PATH), 0u);
    ASSERT_NE(std::string(short_form), folder_) << "the folder is expected to have a short name";
    std::string upper = folder_;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    const std::string plain = folder_.substr(0, folder_.size() - 1);
    for (const std::string& path : {folder_, plain, upper, std::string(short_form)}) {
        const vennic::error_or<vennic::unique_handle> folder = open_plain_folder(wide(path));
        EXPECT_TRUE(folder) << path << ": " << folder.error();
        EXPECT_EQ(folder.error(), 0u) << path;
    }
    put("plain.txt", "x");
    for (const char* name : {"plain.txt", "PLAIN.TXT"}) {
        const vennic::error_or<vennic::unique_handle> file = open(name, when_missing::fail);
        EXPECT_TRUE(file) << name << ": " << file.error();
        EXPECT_TRUE(*file) << name;
    }
}

TEST_F(PlainFile, CreatesOnlyWhenAskedAndOnlyWhereNothingIs) {
    const vennic::error_or<vennic::unique_handle> missing = open("new.txt", when_missing::fail);
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.error(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetFileAttributesA((folder_ + "new.txt").c_str()), INVALID_FILE_ATTRIBUTES);

    EXPECT_TRUE(open("new.txt", when_missing::create));
    EXPECT_NE(GetFileAttributesA((folder_ + "new.txt").c_str()), INVALID_FILE_ATTRIBUTES);
    // An existing file is opened, not emptied.
    put("plain.txt", "kept");
    EXPECT_TRUE(open("plain.txt", when_missing::create));
    EXPECT_EQ(contents("plain.txt"), "kept");
}

TEST_F(PlainFile, RefusesFoldersAndFilesWithASecondName) {
    ASSERT_TRUE(CreateDirectoryA((folder_ + "sub").c_str(), nullptr));
    put("target.txt", "theirs");
    ASSERT_TRUE(CreateHardLinkA((folder_ + "second.txt").c_str(), (folder_ + "target.txt").c_str(), nullptr));
    for (const char* name : {"sub", "second.txt", "target.txt"}) {
        for (when_missing missing : {when_missing::fail, when_missing::create}) {
            const vennic::error_or<vennic::unique_handle> file = open(name, missing);
            EXPECT_FALSE(file) << name;
            EXPECT_NE(file.error(), 0u) << name;
        }
    }
    EXPECT_EQ(contents("target.txt"), "theirs");
    // A file is no folder, a missing folder is none.
    EXPECT_EQ(open_plain_folder(wide(folder_ + "target.txt")).error(), static_cast<DWORD>(ERROR_CANT_ACCESS_FILE));
    EXPECT_FALSE(open_plain_folder(wide(folder_ + "missing\\")));
}

const std::wstring asked = L"C:\\Temp\\Trevan.log.txt";

vennic::file_facts facts(DWORD attributes, DWORD links, const std::wstring& final_path = L"\\\\?\\" + asked) {
    vennic::file_facts f;
    f.attributes = attributes;
    f.links = links;
    f.final_path = final_path;
    return f;
}

TEST(PlainFileAttributes, NoFolderNoReparsePointNoSecondName) {
    const struct {
        DWORD attributes;
        DWORD links;
        bool plain;
    } rows[] = {
        {FILE_ATTRIBUTE_NORMAL, 1, true},
        {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, 1, true},
        {FILE_ATTRIBUTE_REPARSE_POINT, 1, false},  // a file link, opened as itself
        {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_REPARSE_POINT, 1, false},
        {FILE_ATTRIBUTE_DIRECTORY, 1, false},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 1, false},  // a junction
        {FILE_ATTRIBUTE_NORMAL, 2, false},
        {FILE_ATTRIBUTE_NORMAL, 0, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(vennic::is_plain_file(facts(row.attributes, row.links), asked), row.plain)
            << std::hex << row.attributes << " links " << row.links;
}

TEST(PlainFolderAttributes, AFolderThatIsNoReparsePoint) {
    const struct {
        DWORD attributes;
        bool plain;
    } rows[] = {
        {FILE_ATTRIBUTE_DIRECTORY, true},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, true},
        {FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, false},  // a junction or folder link
        {FILE_ATTRIBUTE_NORMAL, false},
        {FILE_ATTRIBUTE_REPARSE_POINT, false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(vennic::is_plain_folder(facts(row.attributes, 1), asked), row.plain) << std::hex << row.attributes;
    // The folder a link along the way leads to.
    EXPECT_FALSE(vennic::is_plain_folder(facts(FILE_ATTRIBUTE_DIRECTORY, 1, L"\\\\?\\D:\\Elsewhere"), asked));
}

TEST(PlainFileFinalPath, TheFileMustBeWhereItWasAskedFor) {
    const struct {
        const wchar_t* final_path;
        const wchar_t* asked_path;
        bool plain;
    } rows[] = {
        {L"\\\\?\\C:\\Temp\\Trevan.log.txt", L"C:\\Temp\\Trevan.log.txt", true},
        {L"\\\\?\\c:\\TEMP\\trevan.LOG.txt", L"C:\\Temp\\Trevan.log.txt", true},
        {L"C:\\Temp\\Trevan.log.txt", L"C:\\Temp\\Trevan.log.txt", true},
        {L"\\\\?\\UNC\\server\\share\\Trevan.log.txt", L"\\\\server\\share\\Trevan.log.txt", true},
        // A link along the way, or the file a link leads to.
        {L"\\\\?\\C:\\Users\\Other\\Trevan.log.txt", L"C:\\Temp\\Trevan.log.txt", false},
        {L"\\\\?\\C:\\Temp\\target.txt", L"C:\\Temp\\Trevan.log.txt", false},
        {L"\\\\?\\UNC\\server\\share\\Trevan.log.txt", L"C:\\Temp\\Trevan.log.txt", false},
        // Unknown on either side.
        {L"", L"C:\\Temp\\Trevan.log.txt", false},
        {L"\\\\?\\C:\\Temp\\Trevan.log.txt", L"", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(vennic::is_plain_file(facts(FILE_ATTRIBUTE_ARCHIVE, 1, row.final_path), row.asked_path), row.plain)
            << row.final_path << " | " << row.asked_path;
}

}  // namespace
