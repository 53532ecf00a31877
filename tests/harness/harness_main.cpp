// main() of every test program that drives Wine: the Wine session is made
// ready before the first test and, if this process started it, ended after
// the last.
#include <gtest/gtest.h>

#include "tests/harness/wine_harness.h"

namespace {

class wine_environment : public ::testing::Environment {
public:
    void SetUp() override { trevan::harness::ensure_wine_session(); }
    void TearDown() override { trevan::harness::end_wine_session(); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new wine_environment);
    return RUN_ALL_TESTS();
}
