#pragma once

// How the pack tool's reports show a container's texts: as the program will
// read them. The bytes are converted from the code page the container
// names (its "code_page" value, code_page.h) to UTF-8; a container that
// names none was packed without one (ASCII only, or by an older tool), and
// its bytes outside ASCII are shown as U+FFFD in JSON and as \xNN on a
// terminal, since what the program reads from them depends on the
// machine's ANSI code page. Texts are cut as container/printable.h cuts
// them: the first shown_prefix bytes, with the full length beside them.

#include <optional>
#include <string>
#include <string_view>

#include "container/printable.h"

namespace trevan::pack {

// The code page a container's texts are read in; nothing when unknown.
struct text_reading {
    std::optional<unsigned> code_page;

    // bytes as valid UTF-8: converted from the code page; without one,
    // ASCII as it is and every other byte as U+FFFD.
    std::string utf8(std::string_view bytes) const;
    // For one line of a terminal, in double quotes when quoted: utf8() with
    // the backslash, the double quote (when quoted) and every control
    // character escaped (\\ \" \n \r \t \xNN, \u{NNNN} for C1 controls);
    // without a code page, bytes outside ASCII as \xNN. A cut text is
    // followed by "... (N bytes)".
    std::string line(const text_prefix& text, bool quoted = true) const;
    std::string line(std::string_view bytes, bool quoted = true) const;
    // The same without quotes and with the backslash as it is, for paths and
    // command lines, where it is no escape.
    std::string bare(std::string_view bytes) const;
};

// UTF-8 text the user gave, quoted for one line of a message: control
// characters escaped, everything else as it is.
std::string quoted_utf8(std::string_view text);

}  // namespace trevan::pack
