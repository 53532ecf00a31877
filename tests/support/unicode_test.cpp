// Text conversion against the real Win32 conversion functions (under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "support/platform/unicode.h"

namespace {

using vennic::unicode::to_narrow;
using vennic::unicode::to_wide;

const std::wstring cyrillic = L"\x0416\x0438\x0437\x043d\x044c";

template <typename E, typename F>
std::string category_of(F f) {
    try {
        f();
    } catch (const E& e) {
        return e.category_path();
    } catch (const std::exception& e) {
        return std::string("other: ") + e.what();
    }
    return "no exception";
}

TEST(Unicode, FlagCapableCodePages) {
    for (unsigned cp : {0u, 437u, 1252u, 932u, 936u, 50220u, 65002u, 57001u, 57012u})
        EXPECT_TRUE(vennic::unicode::is_flag_capable(cp)) << cp;
    for (unsigned cp : {42u, 50221u, 50222u, 50225u, 50227u, 50229u, 52936u, 54936u, 57002u,
                        57006u, 57011u, 65000u, 65001u})
        EXPECT_FALSE(vennic::unicode::is_flag_capable(cp)) << cp;
}

TEST(Unicode, EmptyInputNeedsNoValidCodePage) {
    EXPECT_EQ(to_narrow(L"", 12345, true), "");
    EXPECT_EQ(to_wide("", 12345), L"");
}

TEST(Unicode, RoundTripsWithEmbeddedZeros) {
    const std::wstring wide(L"a\0b\0\0c\x00e4", 7);
    std::string utf8 = to_narrow(wide, CP_UTF8, true);
    EXPECT_EQ(utf8, std::string("a\0b\0\0c\xc3\xa4", 8));
    EXPECT_EQ(to_wide(utf8, CP_UTF8), wide);
    std::string ansi = to_narrow(wide, 1252, true);
    EXPECT_EQ(ansi, std::string("a\0b\0\0c\xe4", 7));
    EXPECT_EQ(to_wide(ansi, CP_ACP), wide);
}

TEST(Unicode, CyrillicInto1252StrictAndNot) {
    EXPECT_EQ(category_of<vennic::unicode::generic>([] { to_narrow(cyrillic, 1252, true); }),
              "unicode.unmappable_character");
    EXPECT_EQ(to_narrow(L"a" + cyrillic, 1252, false), "a?????");
    // CP_ACP is 1252 in the test prefix and is flag-capable as passed.
    EXPECT_EQ(category_of<vennic::unicode::generic>([] { to_narrow(cyrillic, CP_ACP, true); }),
              "unicode.unmappable_character");
}

TEST(Unicode, Utf8PassesNoIndicatorSoStrictChangesNothing) {
    // A lone surrogate: without the indicator the system converts it its own way.
    const std::wstring lone(L"x\xd800y");
    EXPECT_EQ(to_narrow(lone, CP_UTF8, true), to_narrow(lone, CP_UTF8, false));
    EXPECT_EQ(to_narrow(cyrillic, CP_UTF8, true), "\xd0\x96\xd0\xb8\xd0\xb7\xd0\xbd\xd1\x8c");
}

TEST(Unicode, InvalidUtf8IsConvertedWithoutError) {
    std::wstring w = to_wide("a\xff\xfe" "b", CP_UTF8);
    EXPECT_EQ(w.front(), L'a');
    EXPECT_EQ(w.back(), L'b');
}

TEST(Unicode, InvalidCodePages) {
    EXPECT_EQ(category_of<vennic::unicode::generic>([] { to_narrow(L"x", 12345, true); }),
              "unicode.invalid_codepage");
    EXPECT_EQ(category_of<vennic::unicode::generic>([] { to_wide("x", 12345); }),
              "unicode.invalid_codepage");
}

TEST(Unicode, TruncatedDoubleByteCharacterIsUnmappable) {
    // 0x82 opens a two-byte character in Shift-JIS (932), a flag-capable code page.
    EXPECT_EQ(category_of<vennic::unicode::generic>([] { to_wide("ab\x82", 932); }),
              "unicode.unmappable_character");
    EXPECT_EQ(to_wide("\x82\xa0", 932), L"\x3042");
    // Not strict, as the system's ANSI calls convert a command line: the
    // text goes through, the rest of it whole.
    const std::wstring lenient = to_wide("ab\x82", 932, false);
    EXPECT_EQ(lenient.substr(0, 2), L"ab");
}

TEST(Unicode, CodePage50220IsAskedForInvalidCharacters) {
    // 50220 is flag-capable, so both conversions ask the system to report
    // what does not convert; the system's refusal comes back through the
    // error rules. Windows knows the code page and refuses the request
    // (error 87); Wine 8 does not know it at all.
    CPINFO info;
    const bool known = GetCPInfo(50220, &info) != 0;
    EXPECT_EQ(category_of<vennic::unicode::generic>([] { to_narrow(L"abc", 50220, true); }),
              known ? "unicode.unmappable_character" : "unicode.invalid_codepage");
    wchar_t out[8];
    ASSERT_EQ(MultiByteToWideChar(50220, MB_ERR_INVALID_CHARS, "abc", 3, out, 8), 0);
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(category_of<vennic::unicode::generic>([] { to_wide("abc", 50220); }),
              "unicode.invalid_codepage");
}

TEST(Unicode, OnlyExactTextConvertsExactly) {
    using vennic::unicode::to_exact_narrow;
    const std::optional<std::string> none;
    struct row {
        std::wstring text;
        unsigned codepage;
        std::optional<std::string> expected;
    };
    const row rows[] = {
        {L"", 1252, std::string()},
        {L"", 12345, std::string()},
        {L"/D=C:\\Program Files\\Caf\x00e9", 1252, std::string("/D=C:\\Program Files\\Caf\xe9")},
        {std::wstring(L"a\0b", 3), 1252, std::string("a\0b", 3)},
        // Best fit would give a look-alike: the fullwidth quotation mark a
        // real one, a-macron a plain a.
        {L"x\xff02 /S", 1252, none},
        {L"\x0101", 1252, none},
        {cyrillic, 1252, none},
        {L"\x00e9", CP_ACP, std::string("\xe9")},
        {L"\xff02", CP_ACP, none},
        {cyrillic, CP_UTF8, std::string("\xd0\x96\xd0\xb8\xd0\xb7\xd0\xbd\xd1\x8c")},
        // UTF-8 takes no flags; the round trip finds what it replaced.
        {L"x\xd800y", CP_UTF8, none},
        // Shift-JIS: a two-byte character whose second byte is a backslash.
        {L"\x8868", 932, std::string("\x95\x5c")},
        {L"\x00e9", 932, none},
        {L"x", 12345, none},
    };
    for (const row& r : rows) {
        EXPECT_EQ(to_exact_narrow(r.text, r.codepage), r.expected) << r.codepage << " " << r.text.size();
    }
    // What the strict conversion lets through: best fit reports no default
    // character used.
    EXPECT_EQ(to_narrow(L"\xff02", 1252, true), "\"");
}

TEST(Unicode, ExceptionsCarryAnEmptyMessage) {
    try {
        to_narrow(cyrillic, 1252, true);
        FAIL() << "no exception";
    } catch (const vennic::exception& e) {
        EXPECT_STREQ(e.what(), "unicode.unmappable_character[]");
    }
}

}  // namespace
