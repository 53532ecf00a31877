#include "tools/pack/temp_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <random>

namespace trevan::pack {
namespace {

// Tries create(name) on names of prefix, 16 random hex digits and suffix
// while a name is taken; the name that worked, or empty.
template <typename Create>
std::string unpredictable_name(const std::string& prefix, const char* suffix, Create&& create) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::uint64_t token = std::uint64_t(random()) << 32 | random();
        char digits[17];
        std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(token));
        const std::string name = prefix + digits + suffix;
        if (create(name)) return name;
        if (errno != EEXIST) break;
    }
    return {};
}

}  // namespace

temp_file create_temp_file(const std::string& prefix) {
    temp_file temp;
    temp.path = unpredictable_name(prefix, ".tmp", [&](const std::string& name) {
        temp.file.reset(create_exclusive(name));
        return temp.file != nullptr;
    });
    return temp;
}

std::string create_temp_folder(const std::string& prefix) {
    return unpredictable_name(prefix, "", create_exclusive_folder);
}

}  // namespace trevan::pack
