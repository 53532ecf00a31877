#pragma once

// The language of the program's own texts (its progress window and boxes):
// the installer language the run puts in front of the setup program's
// parameters, when the container carries texts in it, else the user's UI
// language, else English, which the program itself holds. Portable; the
// pack tool's plan makes the same choice. Never throws but bad_alloc.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/language.h"

namespace trevan {

// The program's own texts are English (United States).
inline constexpr std::uint16_t english_ui_language = 1033;

// The LCID of the "/L<LCID> " that add_language_option put in front of
// before to make after; nothing when it put none (the parameters held "/L"
// already, or no source had a value) or the value is no LCID (not 1 to 5
// decimal digits naming 1 to 65535), as a registry value may be.
std::optional<std::uint16_t> language_put_in_front(const std::string& before, const std::string& after);

// The installer language as the run decides it for its own texts, before
// its walk (its first box and its progress window come before the
// container's settings are known): the LCID add_language_option puts in
// front of the caller's own arguments. A "/L" among the container's
// parameters therefore does not count.
std::optional<std::uint16_t> installer_language_of(const std::string& arguments, const language_reader& read);

// Where the language of the program's texts came from.
enum class ui_language_reason { installer_language, ui_language, english };

// "installer language", "UI language" or "English".
const char* reason_text(ui_language_reason reason);

struct ui_language_choice {
    std::uint16_t lcid = english_ui_language;
    ui_language_reason reason = ui_language_reason::english;
};

// The language whose texts the run shows, given the installer language put
// in front (if any), the user's UI language and the languages whose texts
// the container carries. Each of the first two is taken when carried
// exactly, else in a carried language of the same primary language (its
// default sublanguage first, then the lowest LCID), and an English one is
// always held; failing both, English.
ui_language_choice choose_ui_language(std::optional<std::uint16_t> installer_language,
                                      std::uint16_t user_ui_language, const std::vector<std::uint16_t>& carried);

}  // namespace trevan
