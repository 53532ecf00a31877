#pragma once

// The installer language's sources in this machine's registry.

#include <string>

#include "app/language.h"

namespace trevan {
// A language_reader of this machine's registry: each source read once in
// the process (language_reads), so that every reader of a run sees the
// same language.
std::string read_registry_language(language_source source);

}  // namespace trevan
