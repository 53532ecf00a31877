#include "app/work_folder.h"

#include <cstdint>

namespace trevan {

std::string parent_folder(const std::string& work_folder) {
    if (work_folder.size() < 2) return work_folder;
    // Start at the second-to-last character so the trailing backslash is
    // passed over.
    std::string::size_type pos = work_folder.rfind('\\', work_folder.size() - 2);
    if (pos == std::string::npos) return work_folder;
    // "X:" alone is the drive's current folder, not its root.
    if (pos == 2 && work_folder[1] == ':') return work_folder.substr(0, 3);
    return work_folder.substr(0, pos);
}

std::string beside_work_folder(const std::string& work_folder, const std::string& name) {
    const std::string parent = parent_folder(work_folder);
    if (!parent.empty() && parent.back() == '\\') return parent + name;
    return parent + "\\" + name;
}

std::string work_folder_name(long long seconds) {
    // The low half of the 64-bit time, read as a signed 32-bit number.
    const auto low = static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
    // What "VORBELQ%i\\" makes of it, without a printf implementation in
    // the program.
    return "VORBELQ" + std::to_string(low) + "\\";
}

}  // namespace trevan
