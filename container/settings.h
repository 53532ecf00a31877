#pragma once

// The settings of one run: narrow text keys to narrow text values, ordered
// byte by byte as unsigned bytes (std::char_traits<char> compares that way),
// case-sensitive. Reads go through operator[] (find or insert an empty
// value): a missing setting and an empty one are the same to the run. The
// run's own writes replace values; the extraction inserts without replacing.

#include <map>
#include <string>

namespace trevan {

using SettingsMap = std::map<std::string, std::string>;

}  // namespace trevan
