#include "container/file_name.h"

#include <cstring>

namespace trevan {

bool is_bare_file_name(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 32 || std::strchr("\\/:*?\"<>|", c)) return false;
    // Windows drops a trailing dot or blank, so the file would get another name.
    return name.back() != '.' && name.back() != ' ';
}

}  // namespace trevan
