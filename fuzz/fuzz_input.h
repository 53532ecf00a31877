#pragma once

// Splitting one fuzz input into several strings.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace trevan::fuzz {

// The input's bytes cut at every NUL byte (a NUL byte itself is never part
// of a piece). Seeds are written the same way (seeds.cpp).
inline std::vector<std::string> pieces(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) out.emplace_back();
        else out.back() += static_cast<char>(data[i]);
    }
    return out;
}

}  // namespace trevan::fuzz
