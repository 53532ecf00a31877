#include "support/core/scope.h"

namespace vennic {

scope::scope(scope_semantics* target) : target_(target) {
    if (target_) target_->lock();
}

scope::~scope() {
    try {
        unlock();
    } catch (...) {
        // A destructor cannot report; this path is taken when a block is
        // left by an exception, which is the one worth passing on.
    }
}

void scope::lock() {
    if (target_) target_->lock();
}

void scope::unlock() {
    // Forget the target before releasing it: a release that fails is not
    // tried a second time by the destructor.
    scope_semantics* target = target_;
    target_ = nullptr;
    if (target) target->unlock();
}

}  // namespace vennic
