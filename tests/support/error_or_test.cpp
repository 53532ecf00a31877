// error_or holds its value or the code, never both, and ends the process on
// a wrong access instead of handing out a value that was never made.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/core/error_or.h"

namespace {

// Counts the objects alive, so that a failed result is seen to make none
// and every made one to go.
struct counted {
    static int alive;
    std::string text;
    explicit counted(std::string t) : text(std::move(t)) { ++alive; }
    counted(const counted& other) : text(other.text) { ++alive; }
    counted(counted&& other) noexcept : text(std::move(other.text)) { ++alive; }
    counted& operator=(const counted&) = default;
    ~counted() { --alive; }
};
int counted::alive = 0;

TEST(ErrorOr, HoldsTheValueOrTheCodeAndMakesNoValueOnFailure) {
    {
        vennic::error_or<counted> ok(counted("made"));
        vennic::error_or<counted> failed(vennic::system_error{5});
        EXPECT_EQ(counted::alive, 1);
        ASSERT_TRUE(ok);
        EXPECT_EQ(ok->text, "made");
        EXPECT_EQ(ok.error(), 0u);
        EXPECT_FALSE(failed);
        EXPECT_EQ(failed.error(), 5u);

        // Every change of side makes or ends exactly the value it moves.
        struct step {
            const char* what;
            bool from_ok, to_ok;
        };
        const step steps[] = {
            {"value over code", true, false},
            {"code over value", false, true},
            {"value over value", true, true},
            {"code over code", false, false},
        };
        for (const step& s : steps) {
            const int before = counted::alive;
            vennic::error_or<counted> from = s.from_ok ? vennic::error_or<counted>(counted("from"))
                                                       : vennic::error_or<counted>(vennic::system_error{2});
            vennic::error_or<counted> to = s.to_ok ? vennic::error_or<counted>(counted("to"))
                                                   : vennic::error_or<counted>(vennic::system_error{3});
            vennic::error_or<counted> copy = from;
            to = std::move(from);
            EXPECT_EQ(static_cast<bool>(to), s.from_ok) << s.what;
            EXPECT_EQ(static_cast<bool>(copy), s.from_ok) << s.what;
            if (s.from_ok) {
                EXPECT_EQ(to->text, "from") << s.what;
                EXPECT_EQ(copy->text, "from") << s.what;
            } else {
                EXPECT_EQ(to.error(), 2u) << s.what;
                EXPECT_EQ(copy.error(), 2u) << s.what;
            }
            to = copy;
            EXPECT_EQ(static_cast<bool>(to), s.from_ok) << s.what;
            EXPECT_EQ(counted::alive, before + (s.from_ok ? 3 : 0)) << s.what;
        }
    }
    EXPECT_EQ(counted::alive, 0);
}

TEST(ErrorOr, TakesMoveOnlyValues) {
    vennic::error_or<std::unique_ptr<int>> held(std::make_unique<int>(7));
    vennic::error_or<std::unique_ptr<int>> moved(std::move(held));
    ASSERT_TRUE(moved);
    EXPECT_EQ(**moved, 7);
    moved = vennic::system_error{87};
    EXPECT_EQ(moved.error(), 87u);
}

TEST(ErrorOrDeathTest, TheValueOfAFailedResultEndsTheProcess) {
    const vennic::error_or<std::string> failed(vennic::system_error{2});
    vennic::error_or<std::string> also_failed(vennic::system_error{2});
    EXPECT_DEATH((void)*failed, "");
    EXPECT_DEATH((void)failed->size(), "");
    EXPECT_DEATH((void)also_failed->append("x"), "");
}

}  // namespace
