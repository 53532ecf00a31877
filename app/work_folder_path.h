#pragma once

#include <string>

namespace trevan {

// The work folder without its last component: the text before the last
// backslash, passing over a trailing one ("C:\Temp\VORBELQ1\" gives
// "C:\Temp"). A text without such a backslash is returned whole.
std::string parent_folder(const std::string& work_folder);

}  // namespace trevan
