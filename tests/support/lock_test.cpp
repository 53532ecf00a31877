// The lock objects: the critical section and the named kernel mutex, the
// latter also against a second real process.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "support/core/exception.h"
#include "support/core/scope.h"
#include "support/platform/mutex.h"
#include "support/platform/real_mutex.h"
#include "tests/support/child_process.h"

namespace {

using trevan_test::child_process;

TEST(Mutex, KeepsAnotherThreadOutUntilReleased) {
    vennic::mutex m;
    std::atomic<bool> entered{false};
    m.lock();
    std::thread other([&] {
        vennic::scope guard(&m);
        entered = true;
    });
    Sleep(100);
    EXPECT_FALSE(entered);
    m.unlock();
    other.join();
    EXPECT_TRUE(entered);
}

struct name_case {
    const char* name;
    unsigned long major;
    const char* object;
};

TEST(RealMutex, ObjectNameByVersion) {
    const name_case cases[] = {
        {"Vorbelquint.Installation", 6, "Global\\Vorbelquint.Installation"},
        {"Vorbelquint.Installation", 5, "Global\\Vorbelquint.Installation"},
        {"log-C:_Temp_Trevan", 10, "Global\\log-C:_Temp_Trevan"},
        {"Local\\x", 6, "Local\\x"},
        {"Global\\x", 6, "Global\\x"},
        {"a\\b\\c", 5, "a\\b\\c"},
        {"", 6, "Global\\"},
        {"Global\\x", 4, "x"},
        {"a\\b\\c", 4, "c"},
        {"x", 4, "x"},
        {"x", 3, "x"},
        {"x\\", 4, ""},
    };
    for (const name_case& c : cases)
        EXPECT_EQ(vennic::real_mutex::object_name(c.name, c.major), c.object)
            << c.name << " on version " << c.major;
}

std::string unique_name(const char* what) {
    return std::string("trevan-test-") + what + "-" + std::to_string(GetCurrentProcessId());
}

bool mutex_exists(const std::string& object) {
    HANDLE h = OpenMutexA(SYNCHRONIZE, FALSE, object.c_str());
    if (h) CloseHandle(h);
    return h != nullptr;
}

TEST(RealMutex, NameWithoutBackslashLivesInTheGlobalNamespace) {
    const std::string name = unique_name("global");
    vennic::real_mutex m(name);
    EXPECT_TRUE(mutex_exists("Global\\" + name));
    EXPECT_FALSE(mutex_exists("Local\\" + name));

    const std::string local = "Local\\" + unique_name("local");
    vennic::real_mutex l(local);
    EXPECT_TRUE(mutex_exists(local));
    EXPECT_FALSE(mutex_exists("Global\\" + local));
}

std::string what_of(void (*f)(const std::string&), const std::string& name) {
    try {
        f(name);
    } catch (const vennic::exception& e) {
        return e.what();
    }
    return "no exception";
}

TEST(RealMutex, FailuresCarryTheErrorCode) {
    // Another kind of object under the name: neither created nor opened.
    const std::string name = unique_name("semaphore");
    HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, ("Global\\" + name).c_str());
    ASSERT_NE(semaphore, nullptr);
    EXPECT_EQ(what_of([](const std::string& n) { vennic::real_mutex m(n); }, name),
              "[OpenMutex returned 0x00000006]");
    CloseHandle(semaphore);

    EXPECT_EQ(what_of([](const std::string& n) {
                  vennic::real_mutex m(n);
                  m.unlock();
              }, unique_name("not-owned")),
              "[ReleaseMutex returned 0x00000120]");
}

std::string helper(const char* command, const std::string& name) {
    return std::string("\"") + SUPPORT_HELPER + "\" " + command + " " + name;
}

std::string try_in_new_process(const std::string& name) {
    child_process p(helper("mutex-try", name));
    std::string answer = p.read_line();
    EXPECT_EQ(p.wait(), 0u);
    return answer;
}

TEST(RealMutex, AnotherProcessCannotTakeAnOwnedMutex) {
    const std::string name = unique_name("owned");
    vennic::real_mutex m(name);
    ASSERT_TRUE(m.wait(0));
    EXPECT_EQ(try_in_new_process(name), "false");
    m.unlock();
    EXPECT_EQ(try_in_new_process(name), "true");
}

TEST(RealMutex, AbandonedByItsOwnerCountsAsAcquired) {
    const std::string name = unique_name("abandoned");
    // Keeps the kernel object alive between the processes.
    vennic::real_mutex keep(name);
    {
        child_process owner(helper("mutex-hold", name));
        ASSERT_EQ(owner.read_line(), "owned");
        EXPECT_FALSE(keep.wait(0));
        owner.send_line();
        ASSERT_EQ(owner.wait(), 0u);
    }
    EXPECT_EQ(try_in_new_process(name), "true");
}

TEST(RealMutex, DestroyingAnOwnedMutexDoesNotReleaseIt) {
    const std::string name = unique_name("closed");
    vennic::real_mutex keep(name);
    child_process owner(helper("mutex-hold-close", name));
    ASSERT_EQ(owner.read_line(), "closed");
    // The owner's handle is gone, its ownership is not.
    EXPECT_FALSE(keep.wait(0));
    owner.send_line();
    ASSERT_EQ(owner.wait(), 0u);
    EXPECT_TRUE(keep.wait(0));
    keep.unlock();
}

}  // namespace
