// The language of the program's own texts: which LCID the run put in front
// of the parameters, and the choice among the languages a container carries.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/language.h"
#include "app/ui_language.h"

namespace trevan {
namespace {

TEST(LanguagePutInFront, IsTheLcidOfTheAddedOptionOnly) {
    const struct {
        std::string before, after;
        std::optional<std::uint16_t> lcid;
    } rows[] = {
        {"/S", "/L1031 /S", 1031},
        {"", "/L2057 ", 2057},
        {"/S /L1036", "/S /L1036", std::nullopt},    // the parameters held "/L": none added
        {"/S", "/S", std::nullopt},                  // no source had a value
        {"/S", "/Lde /S", std::nullopt},             // a registry value that is no LCID
        {"/S", "/L10 31 /S", std::nullopt},          // ... with a blank in it
        {"/S", "/L0 /S", std::nullopt},
        {"/S", "/L65536 /S", std::nullopt},
        {"/S", "/L65535 /S", 65535},
        {"/S", "/L001031 /S", std::nullopt},         // more digits than an LCID has
        {"/S", "/L1031 /Q", std::nullopt},           // not what was put in front of before
        {"/S", "/L /S", std::nullopt},
    };
    for (const auto& row : rows) EXPECT_EQ(language_put_in_front(row.before, row.after), row.lcid) << row.after;
}

// The real option of add_language_option, read back.
TEST(LanguagePutInFront, ReadsWhatAddLanguageOptionPuts) {
    const std::string before = "/V\"X=1\"";
    const std::string after = add_language_option(before, [](language_source source) -> std::string {
        if (source == language_source::user_first_key) return "JA";
        throw std::runtime_error("missing");
    });
    EXPECT_EQ(language_put_in_front(before, after), 1041);
}

TEST(ChooseUiLanguage, TakesTheInstallerLanguageThenTheUsersThenEnglish) {
    constexpr ui_language_reason installer = ui_language_reason::installer_language;
    constexpr ui_language_reason user = ui_language_reason::ui_language;
    constexpr ui_language_reason english = ui_language_reason::english;
    const std::vector<std::uint16_t> de_ja_zh = {1031, 1041, 2052, 1028};
    const struct {
        std::optional<std::uint16_t> installer;
        std::uint16_t user;
        std::vector<std::uint16_t> carried;
        std::uint16_t chosen;
        ui_language_reason reason;
    } rows[] = {
        {1031, 1036, de_ja_zh, 1031, installer},             // carried exactly
        {1036, 1041, de_ja_zh, 1041, user},                  // French not carried: the user's Japanese
        {1036, 1040, de_ja_zh, 1033, english},               // neither: English
        {std::nullopt, 1041, de_ja_zh, 1041, user},          // none put in front
        {3079, 1041, de_ja_zh, 1031, installer},             // German (Austria): German's default
        {std::nullopt, 2055, de_ja_zh, 1031, user},          // German (Switzerland) for the user too
        {std::nullopt, 4100, de_ja_zh, 1028, user},          // Chinese (Singapore): the default sublanguage
        {std::nullopt, 4100, {2052}, 2052, user},            // ... or the only Chinese carried
        {2057, 1031, de_ja_zh, 1033, installer},             // English is the program's own
        {2057, 1031, {2057, 1031}, 2057, installer},         // ... unless the container carries it
        {1033, 1031, {2057}, 2057, installer},               // English (UK) serves English (US)
        {std::nullopt, 1031, {}, 1033, english},             // a container without texts
        {1031, 0, {}, 1033, english},
        {std::nullopt, 0, de_ja_zh, 1033, english},
    };
    for (const auto& row : rows) {
        const ui_language_choice choice = choose_ui_language(row.installer, row.user, row.carried);
        EXPECT_EQ(choice.lcid, row.chosen) << (row.installer ? *row.installer : 0) << " " << row.user;
        EXPECT_EQ(choice.reason, row.reason) << (row.installer ? *row.installer : 0) << " " << row.user;
    }
}

// The run's own decision: a "/L" of the caller blocks the registry's
// language, and so does nothing else.
TEST(InstallerLanguageOf, IsWhatTheRunPutsInFrontOfTheCallersArguments) {
    const language_reader read = [](language_source source) -> std::string {
        if (source == language_source::user_second_key) return "DE";
        throw std::runtime_error("missing");
    };
    EXPECT_EQ(installer_language_of("/S", read), 1031);
    EXPECT_EQ(installer_language_of("", read), 1031);
    EXPECT_EQ(installer_language_of("/S /L1036", read), std::nullopt);
    EXPECT_EQ(installer_language_of("/S", [](language_source) -> std::string { throw std::runtime_error("x"); }),
              std::nullopt);
}

}  // namespace
}  // namespace trevan
