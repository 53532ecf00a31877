// The scoped guard (portable): it takes its target at once and releases it
// exactly once, however the block ends.
#include <gtest/gtest.h>

#include <stdexcept>

#include "support/core/scope.h"

namespace {

struct counting_target : vennic::scope_semantics {
    int locks = 0;
    int unlocks = 0;
    bool fail_unlock = false;
    void lock() override { ++locks; }
    void unlock() override {
        ++unlocks;
        if (fail_unlock) throw std::runtime_error("unlock failed");
    }
};

TEST(Scope, LocksAtOnceAndReleasesOnceHoweverItEnds) {
    counting_target target;
    {
        vennic::scope guard(&target);
        EXPECT_EQ(target.locks, 1);
        guard.unlock();
        guard.unlock();
        EXPECT_EQ(target.unlocks, 1);
        // Once released the scope has forgotten its target.
        guard.lock();
        EXPECT_EQ(target.locks, 1);
    }
    EXPECT_EQ(target.unlocks, 1);

    try {
        vennic::scope guard(&target);
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(target.locks, 2);
    EXPECT_EQ(target.unlocks, 2);
}

TEST(Scope, NullTargetDoesNothing) {
    EXPECT_NO_THROW({
        vennic::scope guard(nullptr);
        guard.lock();
        guard.unlock();
        guard.unlock();
    });
}

TEST(Scope, FailingReleaseReachesUnlockButNotTheDestructor) {
    counting_target target;
    target.fail_unlock = true;
    {
        vennic::scope guard(&target);
        EXPECT_THROW(guard.unlock(), std::runtime_error);
    }  // not tried again, and no exception out of the destructor
    EXPECT_EQ(target.unlocks, 1);
    EXPECT_NO_THROW({ vennic::scope guard(&target); });
    EXPECT_EQ(target.unlocks, 2);
}

}  // namespace
