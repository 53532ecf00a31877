#include "tools/pack/temp_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>

namespace trevan::pack {

temp_file create_temp_file(const std::string& prefix) {
    std::random_device random;
    temp_file temp;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t token = std::uint64_t(random()) << 32 | random();
        char digits[17];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(token));
        temp.path = prefix + digits + ".tmp";
        temp.file.reset(create_exclusive(temp.path));
        if (temp.file || errno != EEXIST) break;
    }
    if (!temp.file) temp.path.clear();
    return temp;
}

}  // namespace trevan::pack
