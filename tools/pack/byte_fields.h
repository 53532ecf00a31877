#pragma once

// Little-endian fields of the PE, resource and icon formats in byte strings.
// Reads check nothing: callers check that the bytes are there first.

#include <cstddef>
#include <cstdint>
#include <string>

namespace trevan::pack {

inline std::uint32_t read16(const std::string& b, std::size_t at) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(b.data()) + at;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8;
}
inline std::uint32_t read32(const std::string& b, std::size_t at) { return read16(b, at) | read16(b, at + 2) << 16; }

inline void append16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v);
    out += static_cast<char>(v >> 8);
}
inline void append32(std::string& out, std::uint32_t v) {
    append16(out, v & 0xFFFF);
    append16(out, v >> 16);
}

inline void write16(std::string& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<char>(v);
    out[at + 1] = static_cast<char>(v >> 8);
}
inline void write32(std::string& out, std::size_t at, std::uint32_t v) {
    write16(out, at, v & 0xFFFF);
    write16(out, at + 2, v >> 16);
}

}  // namespace trevan::pack
