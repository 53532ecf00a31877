// Reference expansion: the documented rules, where scanning resumes after a
// replacement, and reference cycles.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

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
    // Each level doubles the references: 2^31 of them without a bound. The
    // values are empty, so only the bound stops the work.
    SettingsMap settings;
    for (int i = 0; i < 31; ++i)
        settings["d" + std::to_string(i)] = "%d" + std::to_string(i + 1) + "%%d" + std::to_string(i + 1) + "%";
    settings["d31"] = "";
    const std::optional<std::string> result = expand_references("%d0%", settings);
    ASSERT_TRUE(result);
    EXPECT_NE(result->find("%d"), std::string::npos) << "the rest stays unexpanded";
    EXPECT_LT(result->size(), 1000u);

    // A modest multiplication is expanded whole.
    SettingsMap small = {{"a", "%b%%b%"}, {"b", "%c%%c%%c%"}, {"c", "y"}};
    EXPECT_EQ(expand_references("%a%", small), "yyyyyy");
}

// No text longer than a command line of Windows comes out, and none is
// made on the way: a container cannot ask for gigabytes.
TEST(Expand, NoResultPassesTheCommandLineLimit) {
    const std::size_t limit = max_command_line_length;
    const SettingsMap settings = {{"mib", std::string(1u << 20, 'v')},
                                  {"k", std::string(1000, 'k')},
                                  {"fill", std::string(limit - 3, 'f')}};
    std::string thousand_refs;
    for (int i = 0; i < 10000; ++i) thousand_refs += "%k%";
    const struct {
        std::string text;
        std::optional<std::size_t> size;
    } rows[] = {
        {std::string(limit, 'x'), limit},
        {std::string(limit + 1, 'x'), std::nullopt},
        {"%mib%", std::nullopt},                 // the value alone is too long
        {"%unknown%" + std::string(limit - 9, 'x'), limit},
        {thousand_refs, std::nullopt},           // 10 MB if expanded whole
        {"%fill%abc", limit},                    // exactly at the limit
        {"%fill%abcd", std::nullopt},
    };
    for (const auto& r : rows) {
        const std::optional<std::string> expanded = expand_references(r.text, settings);
        EXPECT_EQ(expanded.has_value(), r.size.has_value()) << r.text.substr(0, 20);
        if (expanded && r.size) {
            EXPECT_EQ(expanded->size(), *r.size) << r.text.substr(0, 20);
        }
    }
}

// What the run puts in is never read for references: not the caller's
// "%", not a name the caller completed, not the values of the settings
// the run sets from the caller's world (the work folder's path, the
// arguments). The container's own references around them still expand.
TEST(Expand, OnlyTheContainersTextIsExpanded) {
    const SettingsMap settings = {{"installer64", "Setup_x64.exe"},
                                  {"parameters", "-P"},
                                  {"source", "C:\\T %parameters% -INJECTED %installer64%\\VORBELQ5"},
                                  {"commandline", "%installer64% %%"},
                                  {"ab", "AB"}};
    auto container = [](const std::string& t) { return composed_text(t, text_origin::container); };
    auto caller = [](const std::string& t) { return composed_text(t, text_origin::caller); };
    const struct {
        composed_text text;
        std::string expanded;
    } rows[] = {
        {caller("%installer64% %parameters% %%"), "%installer64% %parameters% %%"},
        {container("/D=%source%"), "/D=C:\\T %parameters% -INJECTED %installer64%\\VORBELQ5"},
        {container("%commandline%|%installer64%"), "%installer64% %%|Setup_x64.exe"},
        // The caller's "%" neither closes nor opens the container's reference.
        {container("%installer64").append(caller("% %")).append(container("%")), "%installer64% %%"},
        // A name the caller completes names nothing.
        {container("%a").append(caller("b")).append(container("%")), "%ab%"},
        {container("%a").append("b", text_origin::run).append(container("%")), "%ab%"},
        {container("%ab%").append(caller(" %ab% ")).append(container("%ab%")), "AB %ab% AB"},
    };
    for (const auto& r : rows) {
        const std::optional<composed_text> expanded = expand_references(r.text, settings);
        ASSERT_TRUE(expanded) << r.text.text();
        EXPECT_EQ(expanded->text(), r.expanded) << r.text.text();
    }
    // The values the run sets come out as the caller's text.
    const std::optional<composed_text> source = expand_references(container("x%source%y"), settings);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->origin(0), text_origin::container);
    EXPECT_TRUE(source->from_caller(1, 2));
    EXPECT_FALSE(source->from_caller(source->size() - 1, source->size()));
}

}  // namespace
}  // namespace trevan
