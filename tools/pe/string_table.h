#pragma once

// String table blocks (RT_STRING): block n holds the strings of ids 16n-16
// to 16n-1, each a 16-bit count of UTF-16 units and the units.

#include <cstdint>
#include <optional>
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

// Why the data of block number block is no whole block, which the loader
// would read past: a string's length or its units running past the data's
// end, as "block 3008: string 48117 runs past the block's 40 bytes of
// data"; nothing for a sound block. Bytes behind the 16th string are
// padding and allowed.
std::optional<std::string> string_block_problem(std::uint16_t block, const std::string& data);

// The data of a block holding strings (at most 16; missing ones are empty).
std::string write_string_block(const std::vector<std::u16string>& strings);

}  // namespace trevan::pe
