// The work folder on a real file system (under Wine): making a fresh one,
// holding it, its security, the temporary path, and removing a tree with
// what must stay.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "app/work_folder.h"
#include "tests/support/test_tree.h"

namespace trevan {
namespace {

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The paths of these tests are ASCII.
std::wstring wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

temp_folder held_temp(const std::string& path) {
    vennic::error_or<temp_folder> temp = open_temp_folder(wide(path));
    EXPECT_TRUE(temp) << path << ": " << temp.error();
    return temp ? std::move(*temp) : temp_folder();
}

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
        trevan::testing::remove_test_tree(wide(root_));
    }
    std::string root_;
};

TEST(TempPath, EndsInABackslashAndTooLongIsNone) {
    vennic::error_or<temp_folder> temp = open_user_temp_folder();
    ASSERT_TRUE(temp) << temp.error();
    ASSERT_FALSE(temp->text.empty());
    EXPECT_EQ(temp->text.back(), '\\');
    EXPECT_EQ(temp->path, wide(temp->text));

    // A directory that does not fit the 260-character buffer is no
    // directory at all, never a cut one.
    const std::string long_dir = "C:\\" + std::string(300, 'd');
    ASSERT_TRUE(SetEnvironmentVariableA("TMP", long_dir.c_str()));
    EXPECT_FALSE(open_user_temp_folder());
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
    work_folder_result made = make_work_folder(held_temp(temp));
    ASSERT_FALSE(made.failure.has_value());
    const std::string folder = made.folder.path();
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

// The elevated run takes the temporary folder as it finds it: what is no
// folder, or is missing, is no temporary folder, and nothing is created.
TEST_F(WorkFolder, ATemporaryPathThatIsAFileOrMissingIsNone) {
    const std::string file = root_ + "not-a-folder";
    make_file(file);
    for (const std::string& temp : {file + "\\", root_ + "missing\\"}) {
        ASSERT_TRUE(SetEnvironmentVariableA("TMP", temp.c_str()));
        const vennic::error_or<temp_folder> opened = open_user_temp_folder();
        EXPECT_FALSE(opened) << temp;
        EXPECT_NE(opened.error(), 0u) << temp;
    }
    EXPECT_FALSE(exists(root_ + "missing"));
    SetEnvironmentVariableA("TMP", nullptr);
}

TEST_F(WorkFolder, TheHeldFolderCannotBeRenamedOrDeletedUntilTheRunRemovesIt) {
    const std::string temp = root_ + "temp\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    work_folder_result made = make_work_folder(held_temp(temp));
    ASSERT_FALSE(made.failure.has_value());
    const std::string folder = made.folder.path();
    const std::string plain = folder.substr(0, folder.size() - 1);
    make_file(folder + "setup.exe");
    // Away from it, so that the current directory's own handle does not
    // keep the folder: only the held one does.
    ASSERT_TRUE(SetCurrentDirectoryA(root_.c_str()));

    EXPECT_FALSE(MoveFileA(plain.c_str(), (root_ + "moved").c_str()));
    EXPECT_FALSE(exists(root_ + "moved"));
    HANDLE for_deletion = CreateFileA(plain.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    EXPECT_EQ(for_deletion, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (for_deletion != INVALID_HANDLE_VALUE) CloseHandle(for_deletion);
    // Others may still look inside and write there (its security decides).
    EXPECT_TRUE(exists(folder + "setup.exe"));

    // The run itself still can.
    EXPECT_TRUE(made.folder.remove());
    EXPECT_FALSE(exists(plain));
    EXPECT_TRUE(made.folder.path().empty());
    EXPECT_FALSE(made.folder.remove());
}

// Puts a fresh folder of its own under the emptied folder's name, as
// someone else could once the run no longer holds it.
std::string swapped_in;
void swap_in_a_fresh_folder(const std::wstring& folder) {
    const std::wstring plain = folder.substr(0, folder.size() - 1);
    if (MoveFileW(plain.c_str(), (plain + L"-emptied").c_str()) && CreateDirectoryW(plain.c_str(), nullptr))
        swapped_in = std::string(plain.begin(), plain.end());
}

TEST_F(WorkFolder, AFolderSwappedInBeforeTheDeletionStays) {
    const std::string temp = root_ + "temp\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    work_folder_result made = make_work_folder(held_temp(temp));
    ASSERT_FALSE(made.failure.has_value());
    const std::string folder = made.folder.path();
    make_file(folder + "setup.exe");
    swapped_in.clear();
    EXPECT_FALSE(made.folder.remove(swap_in_a_fresh_folder));
    ASSERT_EQ(swapped_in, folder.substr(0, folder.size() - 1)) << "nothing was swapped in";
    EXPECT_TRUE(exists(swapped_in));
    // The run's own folder was emptied before.
    EXPECT_FALSE(exists(swapped_in + "-emptied\\setup.exe"));
}

TEST_F(WorkFolder, TheLastOwnerRemovesTheFolder) {
    const std::string temp = root_ + "temp\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    std::string folder;
    {
        work_folder_result made = make_work_folder(held_temp(temp));
        ASSERT_FALSE(made.failure.has_value());
        folder = made.folder.path();
        make_file(folder + "setup.exe");
        work_folder owner = std::move(made.folder);
        EXPECT_TRUE(made.folder.path().empty());
        EXPECT_EQ(owner.path(), folder);
        EXPECT_TRUE(exists(folder + "setup.exe"));
    }
    EXPECT_FALSE(exists(folder));
    // The current directory is the folder's parent again.
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_EQ(std::string(cwd) + "\\", temp);
}

TEST_F(WorkFolder, ATemporaryPathOutsideTheCodePageIsUsedInItsShortForm) {
    ASSERT_EQ(GetACP(), 1252u) << "the test prefix is expected to use code page 1252";
    // Cyrillic, which code page 1252 lacks; and a-macron, for which the
    // system's own conversion gives a look-alike "a": another folder, which
    // exists here.
    ASSERT_TRUE(CreateDirectoryA((root_ + "temp-a").c_str(), nullptr));
    for (const wchar_t* name : {L"temp-\x0416\x0443\x043a", L"temp-\x0101"}) {
        std::wstring dir(root_.begin(), root_.end());
        dir += name;
        dir += L"\\";
        ASSERT_TRUE(CreateDirectoryW(dir.c_str(), nullptr));
        ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", dir.c_str()));
        wchar_t short_form[MAX_PATH] = {};
        ASSERT_GT(GetShortPathNameW(dir.c_str(), short_form, MAX_PATH), 0u);
        std::string expected;
        for (const wchar_t* c = short_form; *c; ++c) {
            ASSERT_LT(*c, 0x80) << "the short form is expected in ASCII";
            expected += static_cast<char>(*c);
        }
        const vennic::error_or<temp_folder> temp = open_user_temp_folder();
        ASSERT_TRUE(temp) << temp.error();
        EXPECT_EQ(temp->text, expected);
        EXPECT_EQ(temp->path, std::wstring(short_form));
        EXPECT_EQ(temp->text.find("temp-a\\"), std::string::npos) << temp->text;
        EXPECT_NE(GetFileAttributesA(temp->text.c_str()), INVALID_FILE_ATTRIBUTES) << temp->text;
    }
    SetEnvironmentVariableA("TMP", nullptr);
}

// A source counting up from 1, and one that only ever gives a name taken.
int random_calls = 0;
std::optional<std::uint32_t> counting_up() { return static_cast<std::uint32_t>(++random_calls); }
std::optional<std::uint32_t> always_one() {
    ++random_calls;
    return 1u;
}
std::optional<std::uint32_t> failing() {
    ++random_calls;
    return std::nullopt;
}

TEST_F(WorkFolder, TheNamesAfterTheFirstComeFromTheRandomSource) {
    const std::string temp = root_ + "temp\\";
    ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr));
    // The time's name (a second either side) and the source's first 59.
    const long long now = static_cast<long long>(std::time(nullptr));
    for (long long t = now - 1; t <= now + 2; ++t)
        ASSERT_TRUE(CreateDirectoryA((temp + work_folder_name(t)).c_str(), nullptr));
    for (long long n = 1; n <= 59; ++n) ASSERT_TRUE(CreateDirectoryA((temp + work_folder_name(n)).c_str(), nullptr));
    const temp_folder held = held_temp(temp);

    random_calls = 0;
    work_folder_result made = make_work_folder(held, {keeps_access_lists, counting_up});
    ASSERT_FALSE(made.failure.has_value()) << made.failure->error;
    EXPECT_EQ(made.folder.path(), temp + "VORBELQ60\\");
    EXPECT_EQ(random_calls, 60);
    EXPECT_TRUE(made.folder.remove());

    // Every name taken: the time's and the hundred that follow, 101 tries.
    random_calls = 0;
    made = make_work_folder(held, {keeps_access_lists, always_one});
    ASSERT_TRUE(made.failure.has_value());
    EXPECT_EQ(made.failure->caption, "SetCurrentDirectory failed");
    EXPECT_EQ(made.failure->error, static_cast<unsigned long>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(random_calls, 100);
    EXPECT_TRUE(made.folder.path().empty());

    // A source that fails ends the tries at once.
    random_calls = 0;
    made = make_work_folder(held, {keeps_access_lists, failing});
    ASSERT_TRUE(made.failure.has_value());
    EXPECT_EQ(made.failure->error, static_cast<unsigned long>(ERROR_GEN_FAILURE));
    EXPECT_EQ(random_calls, 1);
}

// A temporary folder whose work folder's files lie past MAX_PATH: the
// removal works from the held handles, whatever the paths' length.
TEST_F(WorkFolder, AWorkFolderWhoseFilesLiePastMaxPathIsRemoved) {
    std::string temp = root_;
    while (temp.size() < 230) {
        temp += std::string(std::min<std::size_t>(100, 239 - temp.size()), 't') + "\\";
        ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr)) << temp.size();
    }
    work_folder_result made = make_work_folder(held_temp(temp));
    ASSERT_FALSE(made.failure.has_value()) << made.failure->error;
    const std::wstring file = L"\\\\?\\" + made.folder.wide_path() + L"VorbelquintSetup_x64.exe";
    ASSERT_GT(file.size() - 4, static_cast<std::size_t>(MAX_PATH));
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(h);
    EXPECT_TRUE(made.folder.remove());
    EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(exists(temp));
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((temp + "VORBELQ*").c_str(), &entry);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << entry.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

// Wine reports access lists on every drive, so the volume's answer is the
// test's: none on the test's temporary folder, or none anywhere.
HANDLE without_lists = nullptr;
bool lists_but_on_the_test_folder(HANDLE folder) { return folder != without_lists; }
bool no_lists_anywhere(HANDLE) { return false; }

TEST_F(WorkFolder, AVolumeWithoutAccessListsNeverHoldsTheWorkFolder) {
    const std::string temp_path = root_ + "temp\\";
    ASSERT_TRUE(CreateDirectoryA(temp_path.c_str(), nullptr));
    const temp_folder temp = held_temp(temp_path);
    without_lists = temp.handle.get();
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring system_temp = std::wstring(windows) + L"\\Temp\\";

    work_folder_result made = make_work_folder(temp, {lists_but_on_the_test_folder});
    ASSERT_FALSE(made.failure.has_value()) << made.failure->error;
    const std::wstring folder = made.folder.wide_path();
    EXPECT_EQ(CompareStringOrdinal(folder.c_str(), static_cast<int>(system_temp.size()), system_temp.c_str(),
                                   static_cast<int>(system_temp.size()), TRUE),
              CSTR_EQUAL);
    EXPECT_EQ(made.folder.path().find(temp_path), std::string::npos) << made.folder.path();
    EXPECT_NE(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(made.folder.remove());
    EXPECT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);

    made = make_work_folder(temp, {no_lists_anywhere});
    ASSERT_TRUE(made.failure.has_value());
    EXPECT_EQ(made.failure->caption, "SetCurrentDirectory failed");
    EXPECT_TRUE(made.folder.path().empty());
    // Nothing was made in the test's folder either time.
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((temp_path + "VORBELQ*").c_str(), &entry);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << entry.cFileName;
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
}

}  // namespace
}  // namespace trevan
