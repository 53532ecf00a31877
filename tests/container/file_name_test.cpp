// The rule for stored file names, and how texts of a container are shown.
#include <gtest/gtest.h>

#include "container/file_name.h"
#include "container/printable.h"

namespace trevan {
namespace {

// Each byte as the UTF-16 unit of the same number: what the Windows Latin
// code page gives for these names, so both forms of the rule must agree.
std::wstring widened(const std::string& name) {
    std::wstring wide;
    for (unsigned char c : name) wide += static_cast<wchar_t>(c);
    return wide;
}

TEST(FileName, BareNames) {
    for (const char* name : {"Setup.exe", "VorbelquintSetup_x64.exe", "a", ".hidden", "a..b", "x.y.z", " lead",
                             "CONSOLE", "CON1", "COM10", "LPT", "COMX", "AUX_", "nul_.txt", "xcon", "con$",
                             "CONIN", "caf\xe9.exe", "\x7f", "COM\xb4", "a b.exe", "NULL"}) {
        EXPECT_TRUE(is_bare_file_name(name)) << name;
        EXPECT_TRUE(is_bare_file_name(widened(name))) << name;
    }
    // Beyond any code page: a name the system sees in UTF-16 only.
    EXPECT_TRUE(is_bare_file_name(std::wstring(L"Setup\u0141\u00f3d\u017a.exe")));
    EXPECT_TRUE(is_bare_file_name(std::wstring(L"COM\u2074")));
}

TEST(FileName, RefusedNames) {
    const std::string refused[] = {
        // Empty, the folder itself, its parent.
        "", ".", "..",
        // Separators, colons (drives and streams), characters Windows refuses.
        "..\\x", "..\\..\\x", "a/../../x", "sub\\x.exe", "sub/x.exe", "\\x", "/x", "C:x", "x.exe:stream",
        "a*b", "a?b", "a\"b", "a<b", "a>b", "a|b",
        // Control characters.
        std::string("a\0b", 3), "a\nb", "a\rb", "a\tb", "\x1b[2J", "\x1f",
        // Trailing dots and blanks.
        "x.", "x ", "x. ", "x .", "...", " ",
        // Device names in any case, with or without an extension, with
        // blanks before it.
        "CON", "con", "Con", "PRN", "AUX", "NUL", "nul.txt", "NUL.tar.gz", "NUL .txt", "CON  .exe", "aux.",
        "COM1", "com9", "COM0", "LPT1", "lpt9.log", "LPT0", "COM1.exe",
        "COM\xb9", "LPT\xb2.txt", "com\xb3", "COM\xc2\xb9", "LPT\xc2\xb3.x",
        "CONIN$", "conout$", "CONOUT$.txt"};
    for (const std::string& name : refused) {
        EXPECT_FALSE(is_bare_file_name(name)) << name;
        EXPECT_FALSE(is_bare_file_name(widened(name))) << name;
    }
}

TEST(Printable, EscapedAndBounded) {
    struct row {
        std::string text;
        std::string quoted;
        std::string bare;
    };
    const row rows[] = {
        {"plain", "\"plain\"", "plain"},
        {"", "\"\"", ""},
        {"a\"b\\c", "\"a\\\"b\\\\c\"", "a\"b\\\\c"},
        {"line\r\nforged: ok\t", "\"line\\r\\nforged: ok\\t\"", "line\\r\\nforged: ok\\t"},
        {"\x1b[31mred", "\"\\x1b[31mred\"", "\\x1b[31mred"},
        {std::string("\0\x7f\x9b\xff", 4), "\"\\x00\\x7f\\x9b\\xff\"", "\\x00\\x7f\\x9b\\xff"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(quoted_text(r.text), r.quoted);
        EXPECT_EQ(escaped_text(text_prefix::of(r.text)), r.bare);
    }

    const std::string exact(shown_prefix, 'v');
    EXPECT_EQ(quoted_text(exact), "\"" + exact + "\"");
    const std::string big = std::string(shown_prefix, 'v') + "\nmore";
    EXPECT_EQ(quoted_text(big), "\"" + exact + "\"... (" + std::to_string(big.size()) + " bytes)");
    EXPECT_EQ(escaped_text(text_prefix::of(big)), exact + "... (" + std::to_string(big.size()) + " bytes)");
    // What is kept of a huge text is its prefix.
    const text_prefix kept = text_prefix::of(std::string(8u << 20, '\n'));
    EXPECT_EQ(kept.bytes.size(), shown_prefix);
    EXPECT_EQ(kept.length, 8u << 20);
    EXPECT_EQ(escaped_text(kept).size(), 2 * shown_prefix + std::string("... (8388608 bytes)").size());
}

}  // namespace
}  // namespace trevan
