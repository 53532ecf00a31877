// Choosing the installer language: the code table and the order of sources.
#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

#include "app/language.h"

namespace trevan {
namespace {

TEST(LanguageCodeToLcid, Table) {
    const std::map<std::string, std::string> rows = {
        {"BG", "1026"}, {"TW", "1028"}, {"CS", "1029"}, {"DA", "1030"}, {"DE", "1031"},
        {"EL", "1032"}, {"EN-US", "1033"}, {"ES", "1034"}, {"FI", "1035"}, {"FR", "1036"},
        {"HU", "1038"}, {"ID", "1057"}, {"IT", "1040"}, {"JA", "1041"}, {"KO", "1042"},
        {"NL", "1043"}, {"N0", "1044"}, {"PL", "1045"}, {"RO", "1048"}, {"RU", "1049"},
        {"HR", "1050"}, {"SV", "1053"}, {"TH", "1054"}, {"TR", "1055"}, {"ZH", "2052"},
        {"EN", "2057"}, {"PT", "2070"},
        // Everything else is English (United Kingdom).
        {"NO", "2057"}, {"de", "2057"}, {"XX", "2057"}, {"", "2057"}, {"EN-us", "2057"},
        {"DE ", "2057"}, {"1031", "2057"},
    };
    for (const auto& [code, lcid] : rows) EXPECT_EQ(language_code_to_lcid(code), lcid) << code;
}

// A source that is missing throws, as the registry does.
struct missing {};

language_reader sources(std::map<language_source, std::string> values) {
    return [values](language_source source) -> std::string {
        auto it = values.find(source);
        if (it == values.end()) throw missing();
        return it->second;
    };
}

TEST(AddLanguageOption, Precedence) {
    using S = language_source;
    struct row {
        const char* what;
        std::map<language_source, std::string> values;
        std::string text, expected;
    };
    const row rows[] = {
        {"nothing anywhere", {}, "/V\"A\"", "/V\"A\""},
        {"installer language", {{S::installer_language, "1031"}, {S::user_first_key, "FR"}},
         "P", "/L1031 P"},
        {"empty installer language, first user key",
         {{S::installer_language, ""}, {S::user_first_key, "FR"}, {S::user_second_key, "JA"}},
         "P", "/L1036 P"},
        {"missing first key, second key", {{S::user_second_key, "JA"}}, "P", "/L1041 P"},
        {"empty first key, second key",
         {{S::user_first_key, ""}, {S::user_second_key, "JA"}}, "P", "/L1041 P"},
        {"empty first key, missing second", {{S::user_first_key, ""}}, "P", "P"},
        {"code EN", {{S::user_first_key, "EN"}}, "P", "/L2057 P"},
        {"code EN-US", {{S::user_first_key, "EN-US"}}, "P", "/L1033 P"},
        {"unknown code", {{S::user_first_key, "XX"}}, "P", "/L2057 P"},
        {"N with zero", {{S::user_first_key, "N0"}}, "P", "/L1044 P"},
        {"N with letter O", {{S::user_first_key, "NO"}}, "P", "/L2057 P"},
        {"/L already there", {{S::installer_language, "1031"}, {S::user_first_key, "FR"}},
         "/L1040 /V\"A\"", "/L1040 /V\"A\""},
        {"log option is not a language switch", {{S::user_first_key, "DE"}},
         "/V\"/l*v \\\"x\\\"\"", "/L1031 /V\"/l*v \\\"x\\\"\""},
        {"installer language used as it is", {{S::installer_language, "abc"}}, "", "/Labc "},
    };
    for (const row& r : rows)
        EXPECT_EQ(add_language_option(r.text, sources(r.values)), r.expected) << r.what;
}

TEST(AddLanguageOption, AFailingFirstKeyFallsBackToTheSecondOnly) {
    int second_reads = 0;
    auto read = [&](language_source source) -> std::string {
        switch (source) {
        case language_source::installer_language:
            throw std::runtime_error("denied");
        case language_source::user_first_key:
            throw missing();
        case language_source::user_second_key:
            ++second_reads;
            return "PL";
        }
        return "";
    };
    EXPECT_EQ(add_language_option("P", read), "/L1045 P");
    EXPECT_EQ(second_reads, 1);

    // An empty first key and a failing second key: the fallback reads the
    // second key again and fails again; no switch, no exception.
    auto failing_second = [](language_source source) -> std::string {
        if (source == language_source::user_first_key) return "";
        throw missing();
    };
    EXPECT_EQ(add_language_option("P", failing_second), "P");
}

// Each source is read once in a run: a source that changes or fails later
// gives the second reader what it gave the first.
TEST(LanguageReads, AnswerEverySourceAsItsFirstRead) {
    int reads_of[3] = {0, 0, 0};
    language_reads reads([&](language_source source) -> std::string {
        const int n = ++reads_of[static_cast<int>(source)];
        if (source == language_source::user_first_key) throw missing{};
        return source == language_source::installer_language ? std::to_string(1030 + n) : "JA";
    });
    const language_reader read = [&reads](language_source source) { return reads(source); };
    EXPECT_EQ(add_language_option("/S", read), "/L1031 /S");
    EXPECT_EQ(add_language_option("/S", read), "/L1031 /S") << "the same value the second time";
    for (language_source source :
         {language_source::installer_language, language_source::user_first_key, language_source::user_second_key}) {
        if (source == language_source::user_first_key) {
            EXPECT_ANY_THROW(read(source)) << "a failure fails again";
        } else {
            EXPECT_NO_THROW(read(source));
        }
        EXPECT_EQ(reads_of[static_cast<int>(source)], 1) << static_cast<int>(source);
    }
    EXPECT_EQ(read(language_source::user_second_key), "JA");
}

}  // namespace
}  // namespace trevan
