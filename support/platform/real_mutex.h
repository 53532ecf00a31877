#pragma once

// The named kernel mutex that processes share: the program's instance mutex
// and the log file's. Failures throw vennic::exception.

#include <string>

#include "support/core/scope_semantics.h"
#include "support/platform/handle.h"

namespace vennic {

// A named kernel mutex that processes of every user on the machine can share
// (its security descriptor has a null DACL). Construction creates the mutex
// or opens the existing one and does not take ownership; ownership belongs
// to the thread that wait() or lock() gave it to. Destruction only closes
// the handle: a mutex still owned stays owned until its thread ends.
// Failures throw vennic::exception.
class real_mutex final : public scope_semantics {
public:
    // name is adjusted by object_name() for the running system's major
    // version. Throws "OpenMutex returned 0x%08x" when no handle can be had.
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
