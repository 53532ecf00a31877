#include "tools/pe/text16.h"

#include "support/core/little_endian.h"

namespace trevan::pe {

std::optional<std::u16string> utf8_to_utf16(const std::string& text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t code = 0;
        std::size_t extra = 0;
        char32_t least = 0;
        if (c < 0x80) code = c;
        else if ((c & 0xE0) == 0xC0) code = c & 0x1F, extra = 1, least = 0x80;
        else if ((c & 0xF0) == 0xE0) code = c & 0x0F, extra = 2, least = 0x800;
        else if ((c & 0xF8) == 0xF0) code = c & 0x07, extra = 3, least = 0x10000;
        else return std::nullopt;
        if (extra && i + extra >= text.size()) return std::nullopt;
        for (std::size_t k = 1; k <= extra; ++k) {
            unsigned char follow = static_cast<unsigned char>(text[i + k]);
            if ((follow & 0xC0) != 0x80) return std::nullopt;
            code = code << 6 | (follow & 0x3F);
        }
        if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
        if (code >= 0x10000) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
        i += extra + 1;
    }
    return out;
}

std::string utf16_to_utf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t code = text[i];
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (code >= 0xD800 && code <= 0xDFFF) {
            code = 0xFFFD;
        }
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xE0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

std::string utf16_bytes(const std::u16string& text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char16_t unit : text) vennic::append_le16(out, unit);
    return out;
}

std::u16string utf16_from_bytes(const char* data, std::size_t size) {
    std::u16string out;
    out.reserve(size / 2);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i + 1 < size; i += 2) out += static_cast<char16_t>(vennic::load_le16(bytes + i));
    return out;
}

}  // namespace trevan::pe
