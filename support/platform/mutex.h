#pragma once

// In-process lock on a critical section, owned by the object. Recursive for
// the owning thread, as critical sections are. Reports no errors.

#include <windows.h>

#include "support/core/scope_semantics.h"

namespace vennic {

class mutex : public scope_semantics {
public:
    mutex();
    ~mutex();

    mutex(const mutex&) = delete;
    mutex& operator=(const mutex&) = delete;

    void lock() override;
    void unlock() override;

private:
    CRITICAL_SECTION section_;
};

}  // namespace vennic
