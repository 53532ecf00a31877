#pragma once

// A text in each Windows ANSI code page with the bytes Windows' table gives
// it, and a text the code page cannot hold: the cases of the pack tool's
// code-page tests on Linux (iconv) and under Wine (the Win32 conversion).

namespace trevan::pack {

struct code_page_case {
    unsigned code_page;
    const char* text;    // UTF-8
    const char* stored;  // the code page's bytes
    const char* lacked;  // a text the code page cannot hold
};

inline const code_page_case code_page_cases[] = {
    {874, "ไทย", "\xe4\xb7\xc2", "Ł"},
    {932, "日本語", "\x93\xfa\x96\x7b\x8c\xea", "Ł"},
    {936, "中文", "\xd6\xd0\xce\xc4", "Ł"},
    {949, "한국어", "\xc7\xd1\xb1\xb9\xbe\xee", "ไ"},
    {950, "中文", "\xa4\xa4\xa4\xe5", "Ł"},
    {1250, "Łódź", "\xa3\xf3\x64\x9f", "日"},
    {1251, "Привет", "\xcf\xf0\xe8\xe2\xe5\xf2", "Ł"},
    {1252, "Café", "\x43\x61\x66\xe9", "Ł"},
    {1253, "Ωμέγα", "\xd9\xec\xdd\xe3\xe1", "Ł"},
    {1254, "İğne", "\xdd\xf0\x6e\x65", "Ł"},
    {1255, "שלום", "\xf9\xec\xe5\xed", "Ł"},
    {1256, "سلام", "\xd3\xe1\xc7\xe3", "Ł"},
    {1257, "Ķēde", "\xcd\xe7\x64\x65", "日"},
    {1258, "Đà", "\xd0\xe0", "Ł"},
};

}  // namespace trevan::pack
