#include "app/ui_texts_win32.h"

#include "app/ui_texts.h"

namespace trevan {
namespace {

BOOL CALLBACK add_language(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR context) {
    try {
        reinterpret_cast<std::vector<std::uint16_t>*>(context)->push_back(language);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

// The languages of a string block (RT_STRING, 6).
std::vector<std::uint16_t> languages_of_block(HMODULE module, unsigned block) {
    std::vector<std::uint16_t> languages;
    EnumResourceLanguagesW(module, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(block), add_language,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

}  // namespace

std::vector<std::uint16_t> carried_ui_languages(HMODULE module) {
    return languages_of_block(module, vennic::ui_text_first_block);
}

ui_texts::ui_texts(HMODULE module, std::uint16_t language) : module_(module), language_(language) {
    for (unsigned i = 0; i < vennic::ui_text_blocks; ++i)
        for (std::uint16_t held : languages_of_block(module, vennic::ui_text_first_block + i))
            if (held == language) blocks_ |= 1u << i;
}

std::wstring ui_texts::text(vennic::ui_text t, const std::wstring* values, std::size_t count) const {
    const unsigned id = vennic::string_id_of(t);
    if (!(blocks_ & 1u << (id / 16 + 1 - vennic::ui_text_first_block))) return std::wstring();
    HRSRC found = FindResourceExW(module_, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language_);
    HGLOBAL loaded = found ? LoadResource(module_, found) : nullptr;
    const auto* units = static_cast<const std::uint16_t*>(loaded ? LockResource(loaded) : nullptr);
    if (!units) return std::wstring();
    const std::optional<string_place> place = string_in_block(units, SizeofResource(module_, found) / 2, id % 16);
    if (!place || place->length == 0) return std::wstring();
    return filled(std::wstring(reinterpret_cast<const wchar_t*>(units) + place->at, place->length), t, values,
                  count);
}

}  // namespace trevan
