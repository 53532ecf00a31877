#pragma once

// The run's texts in the language it chose (ui_language.h): what the
// program's string tables carry in that language (support/core/ui_text.h),
// with the placeholders filled; where a text is not carried, or is empty,
// the English text the program holds itself. The portable half reads a
// string block and fills placeholders; the Windows half reads the
// program's own image. Never throws but bad_alloc.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "support/core/ui_text.h"

namespace trevan {

// Where the index-th string (0 to 15) of a string block lies in the block's
// units: after its length unit, length units long. Nothing when the block
// ends before the string does, as a damaged table may.
struct string_place {
    std::size_t at = 0;
    std::size_t length = 0;
};
std::optional<string_place> string_in_block(const std::uint16_t* units, std::size_t count, unsigned index);

// pattern with each placeholder of text ("{path}") replaced by its value:
// count values in the order of placeholders_of(text). Anything else in
// braces stays as it is.
std::wstring filled(const std::wstring& pattern, vennic::ui_text text, const std::wstring* values, std::size_t count);

}  // namespace trevan
