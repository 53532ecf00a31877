#pragma once

// The kinds of setup programs a container can be packed for (its "kind"
// setting) and their names. Portable: the program reads the setting, the
// pack tool writes it.

#include <optional>
#include <string>

namespace trevan {

enum class setup_kind { none, msi, nsis, inno, burn, plain };

// "msi", "nsis", "inno", "burn", "plain"; "" for none.
const char* kind_name(setup_kind kind);

// The kind a "kind" setting names: none for an empty one, nothing for a
// value the program does not know (matched exactly, lower case).
std::optional<setup_kind> kind_of_setting(const std::string& value);

}  // namespace trevan
