// The log facility: the dispatcher with listeners of the test, and the file
// sink on files in a folder of the test, also with several processes.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "support/log/dispatcher.h"
#include "support/log/file.h"
#include "support/log/listener.h"
#include "support/log/log.h"
#include "support/platform/handle.h"
#include "support/platform/real_mutex.h"
#include "support/platform/system_error_text.h"
#include "tests/support/child_process.h"

namespace {

using vennic::log::dispatcher;

struct delivery {
    std::string sink;
    int level;
    std::string prefix;
    std::string text;
};

// Records what it is given; throws for the first `failures` calls.
class recorder : public vennic::log::listener {
public:
    recorder(std::string name, std::vector<delivery>& out, int* deleted = nullptr, int failures = 0)
        : name_(std::move(name)), out_(out), deleted_(deleted), failures_(failures) {}
    ~recorder() override {
        if (deleted_) ++*deleted_;
    }
    void write(int level, const std::string& prefix, const std::string& text) override {
        out_.push_back({name_, level, prefix, text});
        if (failures_ != 0) {
            if (failures_ > 0) --failures_;
            throw std::runtime_error("sink failed");
        }
    }

private:
    std::string name_;
    std::vector<delivery>& out_;
    int* deleted_;
    int failures_;  // negative: always
};

TEST(LogPrefix, LayoutAndLevelCharacters) {
    SYSTEMTIME t = {};
    t.wYear = 2024;
    t.wMonth = 1;
    t.wDay = 2;
    t.wHour = 3;
    t.wMinute = 4;
    t.wSecond = 5;
    const char* expected[] = {"2024/01/02 03:04:05 #  ", "2024/01/02 03:04:05    ", "2024/01/02 03:04:05 +  ",
                              "2024/01/02 03:04:05 !  ", "2024/01/02 03:04:05 >  ", "2024/01/02 03:04:05 @  "};
    for (int level = 0; level <= 5; ++level) EXPECT_EQ(dispatcher::make_prefix(t, level), expected[level]);
    EXPECT_EQ(dispatcher::make_prefix(t, 6), "2024/01/02 03:04:05 ?  ");
    EXPECT_EQ(dispatcher::make_prefix(t, -1), "2024/01/02 03:04:05 ?  ");
    t.wYear = 987;
    EXPECT_EQ(dispatcher::make_prefix(t, 1), "0987/01/02 03:04:05    ");
}

TEST(LogDispatcher, EveryLevelReachesEveryListenerLatestFirst) {
    std::vector<delivery> got;
    int deleted = 0;
    {
        dispatcher d;
        d.add(new recorder("first", got, &deleted));
        d.add(new recorder("second", got, &deleted));
        d.add(nullptr);
        d.add(new recorder("third", got, &deleted));
        for (int level = 0; level <= 4; ++level) {
            got.clear();
            d.dispatch(level, L"m\x00e4");
            ASSERT_EQ(got.size(), 3u) << level;
            EXPECT_EQ(got[0].sink, "third");
            EXPECT_EQ(got[1].sink, "second");
            EXPECT_EQ(got[2].sink, "first");
            for (const delivery& x : got) {
                EXPECT_EQ(x.level, level);
                EXPECT_EQ(x.text, "m\xc3\xa4");
                EXPECT_EQ(x.prefix.substr(19), std::string(" ") + "# +!>"[level] + "  ");
            }
        }
        d.clear();
        EXPECT_EQ(deleted, 3);
        got.clear();
        d.dispatch(1, L"dropped");
        EXPECT_TRUE(got.empty());
        d.add(new recorder("late", got, &deleted));
    }
    EXPECT_EQ(deleted, 4);
}

TEST(LogDispatcher, LevelFiveDescribesTheExceptionBeingHandled) {
    std::vector<delivery> got;
    dispatcher d;
    d.add(new recorder("a", got));
    d.add(new recorder("b", got));
    try {
        throw vennic::exception(std::string("x"));
    } catch (const vennic::exception&) {
        d.dispatch(5, L"Copy failed");
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].sink, "b");
    for (const delivery& x : got) {
        EXPECT_EQ(x.level, 3);
        EXPECT_EQ(x.prefix.substr(19), " @  ");
        EXPECT_EQ(x.text, "Copy failed  exception: [x]");
    }
    // Outside a handler there is nothing to describe (and nothing to
    // re-raise): the text goes as it is.
    got.clear();
    d.dispatch(5, L"plain");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].text, "plain");
    EXPECT_EQ(got[0].level, 3);
}

TEST(LogDispatcher, NarrowTextAndItsFallbacks) {
    ASSERT_EQ(GetACP(), 1252u) << "the test prefix is expected to use code page 1252";
    std::vector<delivery> got;
    {
        dispatcher d;
        d.add(new recorder("ok", got));
        d.write("caf\xe9");
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(got[0].text, "caf\xc3\xa9");
        EXPECT_EQ(got[0].level, 1);
    }
    // A sink that fails once: the text is delivered again, read as UTF-8.
    got.clear();
    {
        dispatcher d;
        d.add(new recorder("once", got, nullptr, 1));
        d.write("caf\xc3\xa9");
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].text, "caf\xc3\x83\xc2\xa9");  // as code page 1252
        EXPECT_EQ(got[1].text, "caf\xc3\xa9");          // as UTF-8
    }
    // A sink that always fails: the fixed text is the last attempt, and its
    // failure reaches the caller.
    got.clear();
    {
        dispatcher d;
        d.add(new recorder("always", got, nullptr, -1));
        EXPECT_THROW(d.write("x"), std::runtime_error);
        ASSERT_EQ(got.size(), 3u);
        EXPECT_EQ(got[2].text, "vennic::log: unable to convert input to unicode");
        EXPECT_EQ(got[2].level, 1);
    }
}

// A folder of its own for each test, removed with its files afterwards.
class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        char temp[MAX_PATH];
        DWORD n = GetTempPathA(MAX_PATH, temp);
        ASSERT_GT(n, 0u);
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::string(temp, n) + "trevan-log-" + std::to_string(GetCurrentProcessId()) + "-" + info->name();
        CreateDirectoryA(folder_.c_str(), nullptr);
        base_ = folder_ + "\\Trevan";
        path_ = base_ + ".log.txt";
        // Held as the run holds its temporary folder.
        held_.reset(CreateFileA(folder_.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        ASSERT_TRUE(held_);
    }
    void TearDown() override {
        vennic::log::shutdown();
        held_.reset();
        DeleteFileA(path_.c_str());
        RemoveDirectoryA(path_.c_str());
        RemoveDirectoryA(folder_.c_str());
    }
    HANDLE folder() const { return held_.get(); }

    std::string contents() const {
        std::ifstream in(path_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void put(const std::string& bytes) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    std::string folder_;
    std::string base_;
    std::string path_;
    vennic::unique_handle held_;
};

const std::string bom = "\xEF\xBB\xBF";

// The lines of a log (after an optional mark), each checked against the
// layout of a level 1 line; returns the message texts.
std::vector<std::string> messages(const std::string& text) {
    static const std::regex line(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}    ([^\r\n]*)\r\n)");
    std::vector<std::string> out;
    auto begin = text.begin();
    std::smatch m;
    while (begin != text.end()) {
        if (!std::regex_search(begin, text.end(), m, line, std::regex_constants::match_continuous)) {
            out.push_back("<malformed: " + std::string(begin, text.end()) + ">");
            break;
        }
        out.push_back(m[1]);
        begin = m[0].second;
    }
    return out;
}

TEST_F(LogFile, NewFileGetsTheMarkOnceAndLinesHaveTheirLayout) {
    vennic::log::add_listener(new vennic::log::file(folder(), base_));
    vennic::log::writef("File: %s", "setup.exe");
    vennic::log::writef("%s", "");
    vennic::log::shutdown();
    std::string text = contents();
    ASSERT_EQ(text.substr(0, 3), bom);
    EXPECT_EQ(messages(text.substr(3)), (std::vector<std::string>{"File: setup.exe", ""}));
    // The empty message: the seconds, four blanks (the last two closing the
    // prefix), then CR LF.
    EXPECT_EQ(text.substr(text.size() - 6), "    \r\n");
    EXPECT_TRUE(isdigit(static_cast<unsigned char>(text[text.size() - 7])));

    // Reopened while not empty: appended, no second mark.
    vennic::log::add_listener(new vennic::log::file(folder(), base_));
    vennic::log::write("again");
    vennic::log::shutdown();
    text = contents();
    ASSERT_EQ(text.substr(0, 3), bom);
    EXPECT_EQ(text.find(bom, 1), std::string::npos);
    EXPECT_EQ(messages(text.substr(3)), (std::vector<std::string>{"File: setup.exe", "", "again"}));
}

TEST_F(LogFile, ExistingFiles) {
    put("");
    { vennic::log::file f(folder(), base_); }
    EXPECT_EQ(contents(), bom);

    put("old\r\n");
    {
        vennic::log::file f(folder(), base_);
        f.write(1, "P ", "new");
    }
    EXPECT_EQ(contents(), "old\r\nP new\r\n");
}

TEST_F(LogFile, RollsOverAtItsSizeLimit) {
    vennic::log::file f(folder(), base_, 12);
    f.write(1, "", "first");   // 3 + 7 bytes: below the limit
    f.write(1, "", "second");  // 10 < 12: appended
    EXPECT_EQ(contents(), bom + "first\r\nsecond\r\n");
    f.write(1, "", "third");  // 18 >= 12: emptied and restarted
    EXPECT_EQ(contents(), bom + "third\r\n");
}

TEST_F(LogFile, SharedForDeletionAndClosedByShutdown) {
    vennic::log::add_listener(new vennic::log::file(folder(), base_));
    vennic::log::write("one");
    // Other processes may write, move or delete the file meanwhile.
    HANDLE other = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                               0, nullptr);
    EXPECT_NE(other, INVALID_HANDLE_VALUE);
    CloseHandle(other);
    EXPECT_TRUE(DeleteFileA(path_.c_str()));
    vennic::log::shutdown();

    vennic::log::add_listener(new vennic::log::file(folder(), base_));
    vennic::log::shutdown();
    HANDLE exclusive = CreateFileA(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(exclusive, INVALID_HANDLE_VALUE);
    CloseHandle(exclusive);
}

TEST_F(LogFile, OpenFailureAndNaming) {
    // A folder where the file would be.
    ASSERT_TRUE(CreateDirectoryA(path_.c_str(), nullptr));
    try {
        vennic::log::file f(folder(), base_);
        FAIL() << "no exception";
    } catch (const vennic::log::generic& e) {
        EXPECT_EQ(std::string(e.what()),
                  "log[CreateFile failed: " + vennic::system_error_text(ERROR_ACCESS_DENIED) + "]");
        EXPECT_FALSE(vennic::system_error_text(ERROR_ACCESS_DENIED).empty());
    }
    EXPECT_EQ(vennic::log::file::mutex_name("C:\\Temp\\Trevan"), "log-C:_Temp_Trevan");
    EXPECT_EQ(vennic::log::file::mutex_name("Trevan"), "log-Trevan");
}

TEST_F(LogFile, WritesWaitForTheNamedMutex) {
    vennic::log::file f(folder(), base_);
    // Held by another process, as a writer there would hold it.
    trevan_test::child_process holder(std::string("\"") + SUPPORT_HELPER + "\" mutex-hold " +
                                      vennic::log::file::mutex_name(base_));
    ASSERT_EQ(holder.read_line(), "owned");
    std::atomic<bool> done{false};
    std::thread writer([&] {
        f.write(1, "", "waited");
        done = true;
    });
    Sleep(200);
    EXPECT_FALSE(done);
    EXPECT_EQ(contents(), bom);
    holder.send_line();
    writer.join();
    EXPECT_EQ(holder.wait(), 0u);
    EXPECT_EQ(contents(), bom + "waited\r\n");
}

TEST_F(LogFile, AHeldMutexCostsOneWaitThenLinesAreDroppedUntilItIsFree) {
    trevan_test::child_process holder(std::string("\"") + SUPPORT_HELPER + "\" mutex-hold " +
                                      vennic::log::file::mutex_name(base_));
    ASSERT_EQ(holder.read_line(), "owned");
    {
        const DWORD start = GetTickCount();
        vennic::log::file f(folder(), base_, 0xFFFFFFFFu, 1000);
        for (int i = 0; i < 10; ++i) f.write(1, "", "dropped");
        // One wait of a second, not one per line.
        EXPECT_LT(GetTickCount() - start, 8000u);
        EXPECT_EQ(contents(), "") << "not even the mark without the mutex";

        holder.send_line();
        EXPECT_EQ(holder.wait(), 0u);
        // Left without release: the mutex counts as free again.
        f.write(1, "", "later");
        f.write(1, "", "and on");
    }
    EXPECT_EQ(contents(), bom + "later\r\nand on\r\n");
}

TEST_F(LogFile, ManyProcessesAppendingAtOnce) {
    constexpr int writers = 4;
    constexpr int lines = 500;
    const std::string event_name = "Global\\trevan-log-go-" + std::to_string(GetCurrentProcessId());
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, event_name.c_str());
    ASSERT_NE(go, nullptr);
    std::vector<std::unique_ptr<trevan_test::child_process>> children;
    for (int i = 0; i < writers; ++i)
        children.push_back(std::make_unique<trevan_test::child_process>(
            std::string("\"") + SUPPORT_HELPER + "\" log-lines \"" + base_ + "\" " + std::to_string(i) + " " +
            std::to_string(lines) + " " + event_name));
    // All of them open the new file and write at the same time.
    SetEvent(go);
    for (auto& child : children) EXPECT_EQ(child->wait(120000), 0u);
    CloseHandle(go);

    const std::string text = contents();
    ASSERT_EQ(text.substr(0, 3), bom);
    EXPECT_EQ(text.find(bom, 1), std::string::npos);
    std::vector<std::string> got = messages(text.substr(3));
    std::set<std::string> seen(got.begin(), got.end());
    EXPECT_EQ(got.size(), static_cast<std::size_t>(writers * lines));
    EXPECT_EQ(seen.size(), got.size()) << "duplicate lines";
    for (int w = 0; w < writers; ++w)
        for (int i = 0; i < lines; ++i) {
            const std::string expected = "writer " + std::to_string(w) + " line " + std::to_string(i);
            EXPECT_EQ(seen.count(expected), 1u) << expected;
        }
}

}  // namespace
