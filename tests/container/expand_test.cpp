// Reference expansion: the documented rules, where scanning resumes after a
// replacement, and reference cycles.
#include <gtest/gtest.h>

#include <algorithm>

#include "container/expand.h"
#include "tests/container/container_fixtures.h"

namespace trevan {
namespace {

TEST(Expand, Cases) {
    SettingsMap settings = fixtures::sample_settings();
    settings["a"] = "A";
    settings["-"] = "DASH";
    settings["nested"] = "[%executable32%]";  // two levels down to a file name
    settings["pct"] = "50%";
    settings["b"] = "B";
    settings["empty"] = "";
    const std::pair<const char*, const char*> cases[] = {
        {"%installer32%", "VorbelquintSetup.exe"},
        {"%installer64%", "VorbelquintSetup_x64.exe"},
        {"no references", "no references"},
        {"%unknown%", "%unknown%"},
        {"50% done", "50% done"},
        {"%", "%"},
        {"%%", "%%"},
        {"%%installer32%", "%VorbelquintSetup.exe"},
        {"%%%a%", "%%A"},
        {"%nested%", "[VorbelquintSetup.exe]"},
        {"x%a%y%b%z", "xAyBz"},
        {"%empty%|", "|"},
        // Names are exact: no case folding, no trimming.
        {"%A% % a%", "%A% % a%"},
        // Between two unknown names the text is a candidate too.
        {"%x%-%y%", "%xDASHy%"},
        // A replaced reference's closing "%" is used up: "-" is not looked
        // up here, unlike above.
        {"%a%-%b%", "A-B"},
        // The inserted value is final: its "%" does not join the text behind.
        {"%pct%b%", "50%b%"},
        {"%pct%%b%", "50%B"},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(expand_references(text, settings), expected) << text;
}

TEST(Expand, LooksUpWithoutInserting) {
    const SettingsMap settings = {{"a", "%missing%"}};
    SettingsMap copy = settings;
    EXPECT_EQ(expand_references("%a% %other%", copy), "%missing% %other%");
    EXPECT_EQ(copy, settings);
}

TEST(Expand, CyclesStayUnexpanded) {
    SettingsMap settings = {{"self", "x%self%"},
                            {"ping", "<%pong%>"},
                            {"pong", "(%ping%)"},
                            {"both", "%ping%+%self%"}};
    EXPECT_EQ(expand_references("%self%", settings), "x%self%");
    EXPECT_EQ(expand_references("%ping%", settings), "<(%ping%)>");
    EXPECT_EQ(expand_references("%pong%", settings), "(<%pong%>)");
    // A name in use further up is left alone only on that branch.
    EXPECT_EQ(expand_references("%both%", settings), "<(%ping%)>+x%self%");
}

TEST(Expand, DeepChainsStopAtTheDepthLimit) {
    // k0 -> k1 -> ... -> k9999: far deeper than the limit; must not recurse
    // that deep.
    SettingsMap settings;
    const int n = 10000;
    for (int i = 0; i < n; ++i) settings["k" + std::to_string(i)] = "%k" + std::to_string(i + 1) + "%";
    settings["k" + std::to_string(n)] = "end";
    std::string limit = std::to_string(max_reference_depth);
    EXPECT_EQ(expand_references("%k0%", settings), "%k" + limit + "%");
    settings["k" + std::to_string(max_reference_depth - 1)] = "end";
    EXPECT_EQ(expand_references("%k0%", settings), "end");
}

TEST(Expand, ValuesThatMultiplyStopAtTheReplacementBound) {
    // Each level doubles the text: 2^31 copies of "x" without a bound.
    SettingsMap settings;
    for (int i = 0; i < 31; ++i)
        settings["d" + std::to_string(i)] = "%d" + std::to_string(i + 1) + "%%d" + std::to_string(i + 1) + "%";
    settings["d31"] = "x";
    const std::string result = expand_references("%d0%", settings);
    EXPECT_LT(result.size(), 2 * max_reference_replacements * 5);
    const std::size_t expanded = static_cast<std::size_t>(std::count(result.begin(), result.end(), 'x'));
    EXPECT_GT(expanded, 0u);
    EXPECT_LE(expanded, max_reference_replacements);
    EXPECT_NE(result.find("%d"), std::string::npos) << "the rest stays unexpanded";

    // A modest multiplication is expanded whole.
    SettingsMap small = {{"a", "%b%%b%"}, {"b", "%c%%c%%c%"}, {"c", "y"}};
    EXPECT_EQ(expand_references("%a%", small), "yyyyyy");
}

}  // namespace
}  // namespace trevan
