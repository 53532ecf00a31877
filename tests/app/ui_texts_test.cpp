// The program's side of its translated texts: a string read out of a block
// only within the block's bounds, as the pack tool's writer lays it out,
// and placeholders filled by name whatever order a translation puts them in.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "app/ui_texts.h"
#include "tools/pe/string_table.h"

namespace trevan {
namespace {

using vennic::ui_text;

std::vector<std::uint16_t> units_of(const std::string& bytes) {
    std::vector<std::uint16_t> units(bytes.size() / 2);
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                              static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return units;
}

std::u16string string_at(const std::vector<std::uint16_t>& units, unsigned index) {
    const std::optional<string_place> place = string_in_block(units.data(), units.size(), index);
    if (!place) return u"<none>";
    return std::u16string(units.begin() + place->at, units.begin() + place->at + place->length);
}

// Every string of a block the pack tool's writer made, empty ones between.
TEST(StringInBlock, ReadsWhatThePackToolWrites) {
    const std::vector<std::u16string> strings = {u"Abbrechen", u"", u"キャンセル", u"", u"", u"x"};
    const std::vector<std::uint16_t> units = units_of(pe::write_string_block(strings));
    for (unsigned i = 0; i < 16; ++i)
        EXPECT_EQ(string_at(units, i), i < strings.size() ? strings[i] : u"") << i;
}

// A damaged block never reads past its end: a length beyond what is left,
// a block cut short, an empty block.
TEST(StringInBlock, ADamagedBlockGivesNothingPastItsEnd) {
    const struct {
        const char* what;
        std::vector<std::uint16_t> units;
        unsigned index;
        std::u16string read;
    } rows[] = {
        {"length past the end", {3, u'a', u'b'}, 0, u"<none>"},
        {"the largest length", {0xffff, u'a'}, 0, u"<none>"},
        {"a later string past the end", {1, u'a', 2, u'b'}, 1, u"<none>"},
        {"the one before is whole", {1, u'a', 2, u'b'}, 0, u"a"},
        {"cut before the string", {1, u'a'}, 1, u"<none>"},
        {"a length that skips past the end", {0xfffe, u'a', 0, 0}, 2, u"<none>"},
        {"empty block", {}, 0, u"<none>"},
        {"exactly to the end", {0, 2, u'a', u'b'}, 1, u"ab"},
    };
    for (const auto& row : rows) EXPECT_EQ(string_at(row.units, row.index), row.read) << row.what;
}

TEST(Filled, PutsEachValueWhereItsNameIs) {
    const struct {
        const wchar_t* pattern;
        ui_text text;
        std::vector<std::wstring> values;
        const wchar_t* shown;
    } rows[] = {
        {L"Datei: {path}\rFehler: {error}", ui_text::file_error_text, {L"C:\\T\\a.exe", L"Zugriff verweigert"},
         L"Datei: C:\\T\\a.exe\rFehler: Zugriff verweigert"},
        // A translation may put them in another order.
        {L"Fehler: {error} ({path})", ui_text::file_error_text, {L"C:\\a", L"E"}, L"Fehler: E (C:\\a)"},
        {L"{product} のセットアップを準備しています…", ui_text::progress_text, {L"Amberlyn Café"},
         L"Amberlyn Café のセットアップを準備しています…"},
        // A value is text: braces in it are never filled again.
        {L"„{option}“ wird nicht übergeben", ui_text::option_refused_text, {L"{option}{path}"},
         L"„{option}{path}“ wird nicht übergeben"},
        // What is no placeholder of the text stays, and so does one without its value.
        {L"{path} {product} {", ui_text::file_error_text, {L"p", L"e"}, L"p {product} {"},
        {L"{error}", ui_text::file_error_text, {L"p"}, L"{error}"},
        {L"Abbrechen", ui_text::progress_cancel, {}, L"Abbrechen"},
        {L"{}{pat}", ui_text::file_error_text, {L"p", L"e"}, L"{}{pat}"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(filled(row.pattern, row.text, row.values.data(), row.values.size()), row.shown) << row.shown;
}

}  // namespace
}  // namespace trevan
