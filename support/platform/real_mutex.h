#pragma once

// The named kernel mutex that processes share: the program's instance mutex
// and the log file's. Failures throw vennic::exception.

#include <windows.h>

#include <string>

#include "support/core/scope_semantics.h"
#include "support/platform/handle.h"

namespace vennic {

// The security a real_mutex is created with: Everyone may only wait on it
// and query it (SYNCHRONIZE | MUTANT_QUERY_STATE, the same bit as the
// MUTEX_MODIFY_STATE that another user's open asks for), Administrators and
// SYSTEM have full access, and no other access is granted: no unprivileged
// process can change its access list or its owner, as it could under a null
// DACL. Built in place, with no allocation (the descriptor points into the
// object): it is neither copied nor moved.
class mutex_security {
public:
    static constexpr DWORD everyone_access = SYNCHRONIZE | MUTANT_QUERY_STATE;
    static constexpr DWORD full_access = MUTEX_ALL_ACCESS;

    mutex_security();
    mutex_security(const mutex_security&) = delete;
    mutex_security& operator=(const mutex_security&) = delete;

    // False when the system refused to build the descriptor; the attributes
    // must not be used then.
    bool valid() const { return valid_; }
    // Not inheritable, with the descriptor.
    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }
    PSECURITY_DESCRIPTOR descriptor() { return &descriptor_; }

private:
    // The list and its three allowed ACEs, each with a SID of at most
    // SECURITY_MAX_SID_SIZE bytes.
    alignas(DWORD) BYTE acl_[sizeof(ACL) + 3 * (sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE)];
    SECURITY_DESCRIPTOR descriptor_;
    SECURITY_ATTRIBUTES attributes_;
    bool valid_ = false;
};

// A named kernel mutex that processes of every user on the machine can share
// and wait on (created with mutex_security). Construction creates the mutex
// or opens the existing one and does not take ownership; ownership belongs
// to the thread that wait() or lock() gave it to. Destruction only closes
// the handle: a mutex still owned stays owned until its thread ends.
// Failures throw vennic::exception.
class real_mutex final : public scope_semantics {
public:
    // name is adjusted by object_name() for the running system's major
    // version. An existing mutex whose security refuses full access is opened
    // for waiting and releasing only. Throws "OpenMutex returned 0x%08x" when
    // no handle can be had.
    explicit real_mutex(const std::string& name);
    ~real_mutex();

    real_mutex(const real_mutex&) = delete;
    real_mutex& operator=(const real_mutex&) = delete;

    // Waits up to timeout_ms milliseconds (INFINITE for no limit). True when
    // the calling thread now owns the mutex, also when its previous owner
    // ended without releasing it; false when the time ran out. Throws
    // "WaitForSingleObject returned 0x%08x" when the wait fails.
    bool wait(unsigned long timeout_ms);

    // wait(INFINITE).
    void lock() override;
    // Throws "ReleaseMutex returned 0x%08x", for example when the calling
    // thread does not own the mutex.
    void unlock() override;

    // The kernel object name used for name on a system of the given major
    // version. Up to 4: only the part behind the last backslash. From 5 on:
    // "Global\" in front of a name without any backslash; a name with one
    // (its own namespace prefix) stays as it is.
    static std::string object_name(const std::string& name, unsigned long major_version);

private:
    unique_handle handle_;
};

}  // namespace vennic
