#include "app/work_folder_path.h"

namespace trevan {

std::string parent_folder(const std::string& work_folder) {
    if (work_folder.size() < 2) return work_folder;
    // Start at the second-to-last character so the trailing backslash is
    // passed over.
    std::string::size_type pos = work_folder.rfind('\\', work_folder.size() - 2);
    if (pos == std::string::npos) return work_folder;
    return work_folder.substr(0, pos);
}

}  // namespace trevan
