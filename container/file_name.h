#pragma once

// The rule for the names under which a container's files are written: one
// rule for the program's extraction and for the pack tool.

#include <string>

namespace trevan {

// Whether name is usable as a file name directly in a folder on Windows: not
// empty, not "." or "..", no folder separators, drive colons or other
// characters that Windows refuses in names, no trailing dot or blank.
bool is_bare_file_name(const std::string& name);

}  // namespace trevan
