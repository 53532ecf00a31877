#pragma once

// Texts from a container, made safe to print on one line of a terminal or a
// log: at most a bounded prefix, every byte outside printable ASCII escaped,
// and the full length beside a cut text. A value of a container can be up
// to 2 GiB and hold line ends or escape sequences; printed whole and raw it
// would take that much memory again and could forge lines.

#include <cstddef>
#include <string>
#include <string_view>

namespace trevan {

// Bytes of a text shown before it is cut.
inline constexpr std::size_t shown_prefix = 1024;

// What is kept of a text to show it later: its first bytes (at most
// shown_prefix) and its full length.
struct text_prefix {
    std::string bytes;
    std::size_t length = 0;

    static text_prefix of(std::string_view text);
    bool cut() const { return length > bytes.size(); }
};

// The bytes with the backslash, the double quote (when quote is set) and
// every byte outside 32..126 escaped: \\ \" \n \r \t and \xNN.
std::string escape(std::string_view bytes, bool quote);

// The text in double quotes, escaped; a cut text is followed by
// "... (N bytes)" behind the closing quote.
std::string quoted_text(const text_prefix& text);
std::string quoted_text(std::string_view text);

// The same without the quotes, for "name=value" lines (the double quote
// stays as it is): the escaped prefix, then "... (N bytes)" when cut.
std::string escaped_text(const text_prefix& text);

}  // namespace trevan
