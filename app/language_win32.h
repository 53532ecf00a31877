#pragma once

// The installer language's sources in this machine's registry.

#include <string>

#include "app/language.h"

namespace trevan {
// A language_reader of this machine's registry.
std::string read_registry_language(language_source source);

}  // namespace trevan
