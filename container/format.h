#pragma once

// Layout of the payload container appended to the program's image. The whole
// file is a sequence of chunks: N data bytes, then a 20-byte trailer of N
// (unsigned 32-bit little-endian) and the raw MD5 digest of the data. Records
// end with a tag chunk; the container ends with the tail chunk.

#include <cstdint>
#include <string>
#include <string_view>

#include "support/core/little_endian.h"

namespace trevan::format {

// Data of the tail chunk that closes every container. The reader looks for it
// only where the container must end (container/anchor.h): at the end of the
// file or where its certificate table begins.
inline constexpr std::string_view tail_marker = "chunked-installer-tail";

// Record tags and the fixed name of the stub record.
inline constexpr std::string_view value_tag = "value";
inline constexpr std::string_view file_tag = "file";
inline constexpr std::string_view stub_tag = "stub";
inline constexpr std::string_view stub_name = "stub";

// Chunk trailer: the length field and the digest behind the data.
inline constexpr std::uint32_t length_size = 4;
inline constexpr std::uint32_t digest_size = 16;
inline constexpr std::uint32_t trailer_size = length_size + digest_size;

// Largest chunk data: the reader moves by signed 32-bit distances and steps
// back over the data and its length field (N + 4) in one move.
inline constexpr std::uint32_t max_chunk_length = 2147483644;

// The marker is accepted only at this offset or later.
inline constexpr std::uint32_t min_marker_offset = 23;

// Highest file position a reader can stand at: positions are 32-bit and the
// all-ones value means failure, so a whole file is at most this many bytes.
inline constexpr std::uint32_t max_position = 0xFFFFFFFEu;

// The length field: N as 4 bytes, least significant first.
inline std::string encode_length(std::uint32_t n) {
    unsigned char bytes[length_size];
    vennic::store_le32(bytes, n);
    return std::string(reinterpret_cast<const char*>(bytes), length_size);
}

inline std::uint32_t decode_length(const unsigned char (&field)[length_size]) { return vennic::load_le32(field); }

}  // namespace trevan::format
