// Stored names as Windows will see them: converted from the ANSI code page
// without a byte dropped or replaced, then held to the bare-name rule in
// that form. The same program runs in code page 1252 (container_win_test)
// and 932 (container_acp_win_test); each runs the rows of its code page.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "container/extract_win32.h"

namespace trevan {
namespace {

TEST(OutputName, ConvertedWholeAndBareInUtf16) {
    const struct {
        UINT code_page;
        std::string stored;
        std::optional<std::wstring> name;
    } rows[] = {
        {1252, "Setup.exe", L"Setup.exe"},
        {1252, "caf\xe9.exe", L"caf\u00e9.exe"},
        {1252, "\x81.exe", L"\u0081.exe"},  // undefined in 1252, but the system maps it
        {1252, "COM\xb9", std::nullopt},
        {932, "Setup.exe", L"Setup.exe"},
        {932, "\x82\xa0.exe", L"\u3042.exe"},
        // A trailing lead byte that opens a character never finished: once
        // dropped, these were the parent folder and the work folder itself.
        {932, "..\x81", std::nullopt},
        {932, ".\x81", std::nullopt},
        {932, "Setup\x81", std::nullopt},
        // A second byte that is a backslash in single bytes is part of the
        // character: the name Windows sees has no folder part.
        {932, "a\x81\x5c", L"a\u2015"},
    };
    const UINT code_page = GetACP();
    ASSERT_TRUE(code_page == 1252 || code_page == 932) << code_page;
    int checked = 0;
    for (const auto& row : rows) {
        if (row.code_page != code_page) continue;
        ++checked;
        EXPECT_EQ(output_name(row.stored), row.name) << code_page << ": " << row.stored;
    }
    EXPECT_GE(checked, 4);
}

}  // namespace
}  // namespace trevan
