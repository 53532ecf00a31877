#include "app/ui_language.h"

#include <algorithm>

namespace trevan {
namespace {

constexpr std::uint16_t primary_of(std::uint16_t lcid) { return lcid & 0x3ff; }
constexpr std::uint16_t default_sublanguage_of(std::uint16_t lcid) {
    return static_cast<std::uint16_t>((1u << 10) | primary_of(lcid));
}
constexpr std::uint16_t lang_english = 0x09;

bool carries(const std::vector<std::uint16_t>& carried, std::uint16_t lcid) {
    return std::find(carried.begin(), carried.end(), lcid) != carried.end();
}

// The carried language that serves lcid, or nothing. English is the
// program's own: an English language that is not carried is served by
// the built-in texts.
std::optional<std::uint16_t> serving(std::uint16_t lcid, const std::vector<std::uint16_t>& carried) {
    if (lcid == 0) return std::nullopt;
    if (carries(carried, lcid)) return lcid;
    if (carries(carried, default_sublanguage_of(lcid))) return default_sublanguage_of(lcid);
    std::optional<std::uint16_t> lowest;
    for (std::uint16_t c : carried)
        if (primary_of(c) == primary_of(lcid) && (!lowest || c < *lowest)) lowest = c;
    if (lowest) return lowest;
    if (primary_of(lcid) == lang_english) return english_ui_language;
    return std::nullopt;
}

}  // namespace

std::optional<std::uint16_t> language_put_in_front(const std::string& before, const std::string& after) {
    const std::string::size_type digits_end = after.find(' ');
    if (after.compare(0, 2, "/L") != 0 || digits_end == std::string::npos || digits_end < 3 || digits_end > 7 ||
        after.compare(digits_end + 1, std::string::npos, before) != 0)
        return std::nullopt;
    unsigned long value = 0;
    for (std::string::size_type i = 2; i < digits_end; ++i) {
        if (after[i] < '0' || after[i] > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(after[i] - '0');
    }
    if (value == 0 || value > 0xffff) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::optional<std::uint16_t> installer_language_of(const std::string& arguments, const language_reader& read) {
    return language_put_in_front(arguments, add_language_option(arguments, read));
}

const char* reason_text(ui_language_reason reason) {
    switch (reason) {
    case ui_language_reason::installer_language: return "installer language";
    case ui_language_reason::ui_language: return "UI language";
    case ui_language_reason::english: break;
    }
    return "English";
}

ui_language_choice choose_ui_language(std::optional<std::uint16_t> installer_language,
                                      std::uint16_t user_ui_language, const std::vector<std::uint16_t>& carried) {
    if (installer_language)
        if (std::optional<std::uint16_t> found = serving(*installer_language, carried))
            return {*found, ui_language_reason::installer_language};
    if (std::optional<std::uint16_t> found = serving(user_ui_language, carried))
        return {*found, ui_language_reason::ui_language};
    return {};
}

}  // namespace trevan
