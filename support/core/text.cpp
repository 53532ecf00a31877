#include "support/core/text.h"

#include <cctype>

namespace vennic {

std::string to_upper_copy(const std::string& text) {
    std::string upper(text);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

void replace_all(std::string& text, const std::string& pattern, const std::string& replacement) {
    // An empty pattern would match everywhere and never advance.
    if (pattern.empty()) return;
    std::string::size_type pos = 0;
    while ((pos = text.find(pattern, pos)) != std::string::npos) {
        text.replace(pos, pattern.size(), replacement);
        pos += replacement.size();
    }
}

std::string replace_all_copy(std::string text, const std::string& pattern,
                             const std::string& replacement) {
    replace_all(text, pattern, replacement);
    return text;
}

}  // namespace vennic
