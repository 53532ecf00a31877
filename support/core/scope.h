#pragma once

// Holds a lock for the length of a block. The target may be null (then the
// scope does nothing) and is not owned. unlock() releases the target once
// and forgets it, so a second unlock() and the destructor then do nothing.

#include "support/core/scope_semantics.h"

namespace vennic {

class scope final : public scope_semantics {
public:
    // Locks the target at once when it is not null; what target->lock()
    // throws passes through (nothing is held then).
    explicit scope(scope_semantics* target);
    // Releases the target if still held. An error of the release is dropped
    // here; call unlock() first where it must be seen.
    ~scope();

    scope(const scope&) = delete;
    scope& operator=(const scope&) = delete;

    void lock() override;
    // Throws what the target's unlock() throws; the target is forgotten
    // either way.
    void unlock() override;

private:
    scope_semantics* target_;
};

}  // namespace vennic
