#pragma once

// String table blocks (RT_STRING): block n holds the strings of ids 16n-16
// to 16n-1, each a 16-bit count of UTF-16 units and the units.

#include <cstdint>
#include <string>
#include <vector>

namespace trevan::pe {

inline constexpr unsigned strings_per_block = 16;

// The block, and the place in it, of a string id.
inline std::uint16_t string_block_of(std::uint16_t id) { return static_cast<std::uint16_t>(id / strings_per_block + 1); }
inline unsigned string_index_of(std::uint16_t id) { return id % strings_per_block; }

// The 16 strings of a block's data; a string cut short by the data's end
// keeps what is there, and those behind it are empty.
std::vector<std::u16string> read_string_block(const std::string& data);

// The data of a block holding strings (at most 16; missing ones are empty).
std::string write_string_block(const std::vector<std::u16string>& strings);

}  // namespace trevan::pe
