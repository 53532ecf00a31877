#pragma once

// Conversions between UTF-16 and narrow text of a code page. Failures throw
// the unicode::generic tree, each kind by its category path; to_exact_narrow
// answers an unconvertible text with an empty optional instead.

#include <optional>
#include <string>

#include "support/core/exception.h"

namespace vennic {
namespace unicode {

// Errors of the conversions below. The conversions raise them with an empty
// message: the category path (unicode.invalid_codepage, ...) tells them apart.
class generic : public vennic::exception {
public:
    explicit generic(const std::string& message);
};
class out_of_memory : public generic {
public:
    explicit out_of_memory(const std::string& message);
};
class invalid_codepage : public generic {
public:
    explicit invalid_codepage(const std::string& message);
};
class unmappable_character : public generic {
public:
    explicit unmappable_character(const std::string& message);
};

// Whether the system can be asked to report characters that do not convert
// in this code page. CP_ACP (0) counts as capable as passed.
bool is_flag_capable(unsigned int codepage);

// Wide (UTF-16) text to the code page. Lengths are explicit: embedded zero
// characters stay. With strict set, a character the code page lacks raises
// unmappable_character; without it, it becomes the code page's default
// character. An empty text converts to an empty one without a system call.
std::string to_narrow(const std::wstring& text, unsigned int codepage, bool strict);

// Text in the code page to wide text; with strict (the default), invalid
// input raises unmappable_character where the code page is flag-capable.
// Without it, the text converts as the system's own ANSI calls convert it
// (bytes that form no character become substitutes).
std::wstring to_wide(const std::string& text, unsigned int codepage, bool strict = true);

// Wide text in the code page only when the code page holds it exactly: no
// character replaced by a look-alike (best fit, such as U+FF02 by '"'), none
// by the default character, and the result reads back as the same text.
// Nothing otherwise, also for a code page the system does not know. CP_ACP
// is resolved to the system's ANSI code page first (which may be UTF-8). An
// empty text is the empty text in every code page. Throws std::bad_alloc
// only.
std::optional<std::string> to_exact_narrow(const std::wstring& text, unsigned int codepage);

}  // namespace unicode
}  // namespace vennic
