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

namespace trevan {

// The program's own texts are English (United States).
inline constexpr std::uint16_t english_ui_language = 1033;

// The LCID of the "/L<LCID> " that add_language_option put in front of
// before to make after; nothing when it put none (the parameters held "/L"
// already, or no source had a value) or the value is no LCID (not 1 to 5
// decimal digits naming 1 to 65535), as a registry value may be.
std::optional<std::uint16_t> language_put_in_front(const std::string& before, const std::string& after);

// The language whose texts the run shows, given the installer language put
// in front (if any), the user's UI language and the languages whose texts
// the container carries. Each of the first two is taken when carried
// exactly, else in a carried language of the same primary language (its
// default sublanguage first, then the lowest LCID), and an English one is
// always held; failing both, English.
std::uint16_t choose_ui_language(std::optional<std::uint16_t> installer_language, std::uint16_t user_ui_language,
                                 const std::vector<std::uint16_t>& carried);

}  // namespace trevan
