// The program's own arguments from its UTF-16 command line, and what is
// decided about arguments the ANSI code page cannot hold.
#include <gtest/gtest.h>

#include <string>

#include "app/arguments.h"
#include "app/dialect.h"

namespace trevan {
namespace {

TEST(ProgramArguments, BehindTheNameAsTheStartUpCodeReadsIt) {
    struct row {
        std::wstring command_line, arguments;
    };
    const row rows[] = {
        {L"", L""},
        {L"Trevan.exe", L""},
        {L"\"C:\\Users\\a b\\Trevan.exe\"", L""},
        {L"\"C:\\Users\\a b\\Trevan.exe\" /S", L"/S"},
        // Only the blanks in front go; inner and trailing ones stay.
        {L"\"C:\\a b\\Trevan.exe\"   /S  /V\"X=1\" ", L"/S  /V\"X=1\" "},
        {L"Trevan.exe\t\t/S", L"/S"},
        // Control characters count as blanks, as in the start-up code.
        {L"Trevan.exe\x01\x1f/S", L"/S"},
        // Quotation marks open and close anywhere in the name (not as
        // CommandLineToArgvW, whose argv[0] would end at the second one).
        {L"\"a b\"c d", L"d"},
        {L"x\"y z\" w", L"w"},
        {L"\"no closing mark /S", L""},
        // Beyond ASCII nothing is a blank: the start-up code, comparing
        // signed bytes, dropped the leading byte of such an argument.
        {L"Trevan.exe \x00c9lan", L"\x00c9lan"},
        {L"C:\\Caf\x00e9\\Trevan.exe x", L"x"},
        {L"Trevan.exe \xff02/S", L"\xff02/S"},
        // A zero ends the text.
        {std::wstring(L"Trevan.exe a\0b", 14), L"a"},
    };
    for (const row& r : rows)
        EXPECT_EQ(program_arguments(r.command_line), r.arguments) << std::string(r.command_line.begin(),
                                                                                 r.command_line.end());
}

TEST(ProgramArguments, TheOutlineSplitsAsTheWideText) {
    // One argument in UTF-16, which best fit would make three, /S among them.
    const std::wstring best_fit_bait = L"\"/D=C:\\Program Files\\Vendor\xff02 /S\"";
    EXPECT_EQ(ascii_outline(best_fit_bait), "\"/D=C:\\Program Files\\Vendor? /S\"");
    EXPECT_FALSE(has_silent_switch(ascii_outline(best_fit_bait)));
    EXPECT_TRUE(has_silent_switch(ascii_outline(L"/S \"\x0416\"")));
    EXPECT_TRUE(has_silent_switch(ascii_outline(L"\x0416 /s")));
    EXPECT_FALSE(has_silent_switch(ascii_outline(L"/S\x0416")));
    EXPECT_EQ(ascii_outline(L"a\x00e9\xd800\x0416\\\"\t"), "a???\\\"\t");
}

}  // namespace
}  // namespace trevan
