#include "container/printable.h"

#include <string>

namespace trevan {
namespace {

std::string cut_note(const text_prefix& text) {
    return text.cut() ? "... (" + std::to_string(text.length) + " bytes)" : std::string();
}

}  // namespace

text_prefix text_prefix::of(std::string_view text) {
    text_prefix kept;
    kept.bytes.assign(text.substr(0, shown_prefix));
    kept.length = text.size();
    return kept;
}

std::string escape(std::string_view bytes, bool quote) {
    std::string out;
    out.reserve(bytes.size());
    for (char byte : bytes) {
        const unsigned char c = static_cast<unsigned char>(byte);
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '"': out += quote ? "\\\"" : "\""; break;
        default:
            // Bytes from 128 up are the ANSI code page's, not the terminal's,
            // and 128..159 act as control codes on some terminals.
            if (c < 32 || c > 126) {
                // By hand: the program carries no printf implementation.
                static const char digits[] = "0123456789abcdef";
                out += "\\x";
                out += digits[c >> 4];
                out += digits[c & 15];
            } else {
                out += byte;
            }
        }
    }
    return out;
}

std::string quoted_text(const text_prefix& text) { return "\"" + escape(text.bytes, true) + "\"" + cut_note(text); }

std::string quoted_text(std::string_view text) { return quoted_text(text_prefix::of(text)); }

std::string escaped_text(const text_prefix& text) { return escape(text.bytes, false) + cut_note(text); }

}  // namespace trevan
