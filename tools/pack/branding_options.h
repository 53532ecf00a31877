#pragma once

// The branding options of `trevan-pack build`: --branding FILE (the settings
// file), --icon, --maker-name, --product-name and --version-info FIELD=TEXT.
// Options on the command line win over the settings file's members.

#include <functional>

#include <CLI/CLI.hpp>

#include "tools/pack/branding.h"

namespace trevan::pack {

// Adds the options to the build subcommand. The function returned, called
// after parsing, gives the branding chosen (empty when none); it throws
// tool_error for a settings file or option that cannot be used.
std::function<branding()> add_branding_options(CLI::App& build);

}  // namespace trevan::pack
