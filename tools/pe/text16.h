#pragma once

// UTF-8 and UTF-16 text for resources: the pack tool takes UTF-8 and the
// resources hold UTF-16 (little-endian in the file). Never throws but
// bad_alloc.

#include <cstddef>
#include <optional>
#include <string>

namespace trevan::pe {

// UTF-16 code units of valid UTF-8 text; nothing for bytes that are not
// UTF-8 (overlong forms and surrogates included).
std::optional<std::u16string> utf8_to_utf16(const std::string& text);

// UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string utf16_to_utf8(const std::u16string& text);

// Little-endian bytes of the code units, and back (an odd last byte is
// dropped).
std::string utf16_bytes(const std::u16string& text);
std::u16string utf16_from_bytes(const char* data, std::size_t size);

}  // namespace trevan::pe
