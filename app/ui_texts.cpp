#include "app/ui_texts.h"

#include <cstring>

namespace trevan {

std::optional<string_place> string_in_block(const std::uint16_t* units, std::size_t count, unsigned index) {
    std::size_t at = 0;
    for (unsigned i = 0;; ++i) {
        if (at >= count) return std::nullopt;
        const std::size_t length = units[at];
        // Compared with what is left, never summed past the block's end.
        if (length > count - at - 1) return std::nullopt;
        if (i == index) return string_place{at + 1, length};
        at += 1 + length;
    }
}

std::wstring filled(const std::wstring& pattern, vennic::ui_text text, const std::wstring* values, std::size_t count) {
    const vennic::ui_text_placeholders names = placeholders_of(text);
    std::wstring out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t open = pattern.find(L'{', from);
        const std::size_t close = open == std::wstring::npos ? open : pattern.find(L'}', open);
        if (close == std::wstring::npos) break;
        out.append(pattern, from, open - from);
        // The name, compared unit by unit with the ASCII names.
        const std::size_t length = close - open - 1;
        auto is = [&](const char* name) {
            if (!name || std::strlen(name) != length) return false;
            for (std::size_t i = 0; i < length; ++i)
                if (pattern[open + 1 + i] != static_cast<wchar_t>(name[i])) return false;
            return true;
        };
        const std::size_t slot = is(names.first) ? 0 : is(names.second) ? 1 : count;
        if (slot < count)
            out += values[slot];
        else
            out.append(pattern, open, length + 2);
        from = close + 1;
    }
    out.append(pattern, from, std::wstring::npos);
    return out;
}

}  // namespace trevan
