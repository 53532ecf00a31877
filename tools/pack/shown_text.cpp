#include "tools/pack/shown_text.h"

#include <cstdio>

#include "tools/pack/host.h"

namespace trevan::pack {
namespace {

const char replacement[] = "\xEF\xBF\xBD";

// UTF-8 with the backslash (when backslash), the quote (when quote) and
// every control character escaped.
std::string escaped(std::string_view text, bool quote, bool backslash = true) {
    std::string out;
    char hex[16];
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\\') out += backslash ? "\\\\" : "\\";
        else if (c == '"' && quote) out += "\\\"";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            // U+0080..U+009F act as control codes on some terminals.
            std::snprintf(hex, sizeof hex, "\\u{%04x}", static_cast<unsigned char>(text[++i]));
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string cut_note(const text_prefix& text) {
    return text.cut() ? "... (" + std::to_string(text.length) + " bytes)" : std::string();
}

}  // namespace

std::string text_reading::utf8(std::string_view bytes) const {
    if (code_page) return to_utf8(bytes, *code_page);
    std::string out;
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) < 0x80) out += c;
        else out += replacement;
    }
    return out;
}

std::string text_reading::line(const text_prefix& text, bool quoted) const {
    // Without a code page the bytes themselves say the most.
    const std::string shown = code_page ? escaped(utf8(text.bytes), quoted) : escape(text.bytes, quoted);
    return (quoted ? "\"" + shown + "\"" : shown) + cut_note(text);
}

std::string text_reading::line(std::string_view bytes, bool quoted) const {
    return line(text_prefix::of(bytes), quoted);
}

std::string text_reading::bare(std::string_view bytes) const {
    const text_prefix text = text_prefix::of(bytes);
    std::string shown;
    if (code_page) {
        shown = escaped(utf8(text.bytes), false, false);
    } else {
        char hex[8];
        for (unsigned char c : text.bytes) {
            if (c >= 32 && c < 127) {
                shown += static_cast<char>(c);
            } else {
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                shown += hex;
            }
        }
    }
    return shown + cut_note(text);
}

std::string quoted_utf8(std::string_view text) { return "\"" + escaped(text, true) + "\""; }

}  // namespace trevan::pack
