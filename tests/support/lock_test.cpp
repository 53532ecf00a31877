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

// The access list a mutex is made with: Everyone only waits and queries,
// Administrators and SYSTEM have full access, nothing else is granted.
void expect_mutex_dacl(PSECURITY_DESCRIPTOR descriptor) {
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor));
    BOOL present = FALSE, defaulted = TRUE;
    PACL acl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted));
    ASSERT_TRUE(present);
    ASSERT_NE(acl, nullptr) << "a null DACL grants everyone full access";
    ASSERT_TRUE(IsValidAcl(acl));
    struct expected_ace {
        WELL_KNOWN_SID_TYPE who;
        DWORD mask;
    };
    const expected_ace expected[] = {
        {WinWorldSid, SYNCHRONIZE | MUTANT_QUERY_STATE},
        {WinBuiltinAdministratorsSid, MUTEX_ALL_ACCESS},
        {WinLocalSystemSid, MUTEX_ALL_ACCESS},
    };
    ASSERT_EQ(acl->AceCount, 3u) << "no other ACE";
    for (DWORD i = 0; i < acl->AceCount; ++i) {
        void* entry = nullptr;
        ASSERT_TRUE(GetAce(acl, i, &entry));
        const auto* ace = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(ace->Header.AceFlags, 0) << i;
        EXPECT_EQ(ace->Mask, expected[i].mask) << i;
        BYTE sid[SECURITY_MAX_SID_SIZE];
        DWORD size = sizeof sid;
        ASSERT_TRUE(CreateWellKnownSid(expected[i].who, nullptr, sid, &size));
        EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&ace->SidStart), sid)) << i;
    }
    // Everyone can neither change the access list or the owner, nor delete
    // it; and what another user's open asks for is exactly what it is given.
    EXPECT_EQ(expected[0].mask & (WRITE_DAC | WRITE_OWNER | DELETE), 0u);
    EXPECT_EQ(static_cast<DWORD>(SYNCHRONIZE | MUTEX_MODIFY_STATE), expected[0].mask);
}

TEST(RealMutex, EveryoneMayOnlyWaitAndAdministratorsAndSystemChangeIt) {
    vennic::mutex_security security;
    ASSERT_TRUE(security.valid());
    const SECURITY_ATTRIBUTES* attributes = security.attributes();
    EXPECT_EQ(attributes->nLength, sizeof(SECURITY_ATTRIBUTES));
    EXPECT_FALSE(attributes->bInheritHandle);
    EXPECT_EQ(attributes->lpSecurityDescriptor, security.descriptor());
    expect_mutex_dacl(security.descriptor());
    // The owner is the creator's default, never one named here.
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(security.descriptor(), &owner, &defaulted));
    EXPECT_EQ(owner, nullptr);

    // The mutex a real_mutex makes holds that list (Wine's server keeps the
    // descriptors of kernel objects, though it enforces none of them).
    const std::string name = unique_name("dacl");
    vennic::real_mutex made(name);
    HANDLE opened = OpenMutexA(READ_CONTROL, FALSE, ("Global\\" + name).c_str());
    ASSERT_NE(opened, nullptr) << GetLastError();
    alignas(DWORD) BYTE stored[1024];
    DWORD needed = 0;
    const BOOL read = GetKernelObjectSecurity(opened, DACL_SECURITY_INFORMATION, stored, sizeof stored, &needed);
    CloseHandle(opened);
    ASSERT_TRUE(read);
    expect_mutex_dacl(stored);
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
