#pragma once

// The branding options of `trevan-pack build`: --branding FILE (the settings
// file), --icon, --maker-name, --product-name, --version-info FIELD=TEXT and
// --ui-languages LIST (ui_packing.h).
// Options on the command line win over the settings file's members, and
// both over a project file's branding.

#include <functional>

#include <CLI/CLI.hpp>

#include "tools/pack/branding.h"

namespace trevan::pack {

// Adds the options to the build subcommand. The function returned, called
// after parsing, gives the branding chosen over base (a project's, or
// none): the settings file's members replace base's, the options replace
// both. It throws tool_error for a settings file or option that cannot be
// used.
std::function<branding(branding base)> add_branding_options(CLI::App& build);

}  // namespace trevan::pack
