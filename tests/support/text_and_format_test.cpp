// Portable parts of the support core: the exception's what() form, printf
// formatting with buffer growth, and the text helpers. Built for the host and
// for Windows (where the runtime's own formatter is used).
#include <gtest/gtest.h>

#include <string>

#include "support/core/exception.h"
#include "support/core/string_printf.h"
#include "support/core/text.h"

namespace {

class area_error : public vennic::exception {
public:
    explicit area_error(const std::string& m) : vennic::exception(m) { extend_category_path("area"); }
};
class kind_error : public area_error {
public:
    explicit kind_error(const std::string& m) : area_error(m) { extend_category_path("kind"); }
};

TEST(Exception, WhatJoinsPathAndMessageInBrackets) {
    EXPECT_STREQ(vennic::exception(std::string("x")).what(), "[x]");
    EXPECT_STREQ(vennic::exception(std::string()).what(), "[]");
    kind_error e("m");
    EXPECT_STREQ(e.what(), "area.kind[m]");
    EXPECT_STREQ(e.category_path(), "area.kind");
    EXPECT_STREQ(e.message(), "m");
}

TEST(Exception, FormattedMessageAndCopies) {
    vennic::exception e("resource string %d is not found", 2002);
    EXPECT_STREQ(e.what(), "[resource string 2002 is not found]");
    kind_error original("m");
    kind_error copy(original);
    EXPECT_STREQ(copy.what(), "area.kind[m]");
    // Caught by reference through the standard base, what() is still ours.
    try {
        throw kind_error("thrown");
    } catch (const std::exception& caught) {
        EXPECT_STREQ(caught.what(), "area.kind[thrown]");
    }
}

TEST(StringPrintf, FormatsShortAndLongTextsWhole) {
    EXPECT_EQ(vennic::string_printf("%s-%i-%08x", "a", -3, 5u), "a--3-00000005");
    EXPECT_EQ(vennic::string_printf("%s", ""), "");
    // Sizes around each doubling of the 1024-character buffer.
    for (std::size_t n : {1023u, 1024u, 1025u, 2047u, 2048u, 2049u, 5000u, 100000u}) {
        std::string big(n, 'q');
        big[n / 2] = 'm';
        EXPECT_EQ(vennic::string_printf("%s", big.c_str()), big) << n;
        EXPECT_EQ(vennic::string_printf("<%s>", big.c_str()), "<" + big + ">") << n;
    }
}

TEST(StringPrintf, WideFormatsGrowToo) {
    std::wstring big(3000, L'w');
    EXPECT_EQ(vennic::wstring_printf(L"%d:", 7) , L"7:");
#ifdef _WIN32
    // The Windows runtime reads %s in a wide format as a wide string.
    EXPECT_EQ(vennic::wstring_printf(L"[%s]", big.c_str()), L"[" + big + L"]");
    EXPECT_EQ(vennic::wstring_printf(L"%S", "narrow"), L"narrow");
#else
    EXPECT_EQ(vennic::wstring_printf(L"[%ls]", big.c_str()), L"[" + big + L"]");
#endif
}

TEST(Text, ToUpperCopyChangesOnlyAsciiLetters) {
    const std::string in = "/v\"abc xyz\" A-Z 0-9 \xE4\xF6";
    EXPECT_EQ(vennic::to_upper_copy(in), "/V\"ABC XYZ\" A-Z 0-9 \xE4\xF6");
    EXPECT_EQ(in, "/v\"abc xyz\" A-Z 0-9 \xE4\xF6");
}

TEST(Text, ReplaceAll) {
    struct row {
        std::string text, pattern, replacement, expected;
    };
    const row rows[] = {
        {"C:\\Temp\\Trevan", "\\", "_", "C:_Temp_Trevan"},
        {"aaa", "a", "aa", "aaaaaa"},  // the replacement is not scanned again
        {"abab", "ab", "", ""},
        {"xyz", "q", "r", "xyz"},
        {"", "a", "b", ""},
        {"aaaa", "aa", "b", "bb"},
        {"text", "", "x", "text"},  // an empty pattern changes nothing
    };
    for (const row& r : rows) {
        std::string t = r.text;
        vennic::replace_all(t, r.pattern, r.replacement);
        EXPECT_EQ(t, r.expected) << r.text << " / " << r.pattern;
        EXPECT_EQ(vennic::replace_all_copy(r.text, r.pattern, r.replacement), r.expected);
    }
}

}  // namespace
