#pragma once

// Text helpers on narrow strings: upper case in the "C" locale and
// replacing every occurrence of a pattern. Throw only std::bad_alloc.

#include <string>

namespace vennic {

// Copy with every byte passed through the runtime's toupper (in the default
// "C" locale only a to z change).
std::string to_upper_copy(const std::string& text);

// Replaces every occurrence of pattern, left to right, resuming behind each
// inserted replacement (a replacement containing the pattern is not scanned
// again). An empty pattern leaves the text as it is.
void replace_all(std::string& text, const std::string& pattern, const std::string& replacement);
std::string replace_all_copy(std::string text, const std::string& pattern,
                             const std::string& replacement);

}  // namespace vennic
