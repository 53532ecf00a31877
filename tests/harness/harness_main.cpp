// main() of every test program that drives Wine: the Wine session is made
// ready before the first test and, if this process started it, ended after
// the last. A program of a WOW64 session on a machine that cannot run 32-bit
// programs runs nothing, says why and reports itself skipped.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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
    if (trevan::harness::wow64_session()) {
        const std::string reason = trevan::harness::wow64_unavailable_reason();
        if (!reason.empty()) {
            std::printf("32-bit runtime unavailable: %s\n", reason.c_str());
            return trevan::harness::skipped_exit_code;
        }
    }
    ::testing::AddGlobalTestEnvironment(new wine_environment);
    return RUN_ALL_TESTS();
}
