// Narrow log text in a double-byte ANSI code page. CTest starts this program
// with LC_ALL=ja_JP.UTF-8, which gives a Wine process code page 932.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "support/log/dispatcher.h"
#include "support/log/listener.h"

namespace {

class recorder : public vennic::log::listener {
public:
    explicit recorder(std::vector<std::string>& out) : out_(out) {}
    void write(int, const std::string&, const std::string& text) override { out_.push_back(text); }

private:
    std::vector<std::string>& out_;
};

TEST(LogAnsiCodePage, TextInvalidThereIsLoggedAsUtf8) {
    ASSERT_EQ(GetACP(), 932u) << "this program must run with code page 932 (LC_ALL=ja_JP.UTF-8 under Wine)";
    std::vector<std::string> got;
    vennic::log::dispatcher d;
    d.add(new recorder(got));
    // Hiragana "a" in code page 932, and the same letter in UTF-8, whose
    // last byte opens a double-byte character that never ends.
    d.write("\x82\xa0");
    d.write("\xe3\x81\x82");
    // Plain ASCII is the same either way.
    d.write("abc");
    EXPECT_EQ(got, (std::vector<std::string>{"\xe3\x81\x82", "\xe3\x81\x82", "abc"}));
}

}  // namespace
