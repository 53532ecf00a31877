#pragma once

// Where the fields of a PE file's headers stand (PE32 and PE32+): offsets
// and sizes in bytes, named once for the reader (container/pe_header) and
// the writer (tools/pe/pe_image).

#include <cstdint>

namespace trevan {

namespace pe_layout {
inline constexpr std::uint32_t dos_header_size = 64;
inline constexpr std::uint32_t lfanew_at = 0x3C;  // in the DOS header: offset of the PE signature
inline constexpr std::uint32_t signature_size = 4;  // "PE\0\0"
inline constexpr std::uint32_t file_header_size = 20;
// In the file header.
inline constexpr std::uint32_t machine_at = 0;
inline constexpr std::uint32_t section_count_at = 2;
inline constexpr std::uint32_t optional_size_at = 16;
// In the optional header, the same in PE32 and PE32+.
inline constexpr std::uint16_t pe32_magic = 0x10b;
inline constexpr std::uint16_t pe32_plus_magic = 0x20b;
inline constexpr std::uint32_t section_alignment_at = 32;
inline constexpr std::uint32_t file_alignment_at = 36;
inline constexpr std::uint32_t size_of_image_at = 56;
inline constexpr std::uint32_t size_of_headers_at = 60;
inline constexpr std::uint32_t checksum_at = 64;
// The number of data directories; the directories follow it.
inline constexpr std::uint32_t pe32_directory_count_at = 92;
inline constexpr std::uint32_t pe32_plus_directory_count_at = 108;
inline constexpr std::uint32_t directory_size = 8;
inline constexpr std::uint32_t max_directories = 16;
// The most of an optional header read: a PE32+ one with 16 directories.
inline constexpr std::uint32_t max_optional_read = pe32_plus_directory_count_at + 4 + max_directories * directory_size;
// Each entry of the section table, which follows the optional header.
inline constexpr std::uint32_t section_header_size = 40;
// In a section header.
inline constexpr std::uint32_t section_name_size = 8;  // padded with NULs, not always ended by one
inline constexpr std::uint32_t section_virtual_size_at = 8;
inline constexpr std::uint32_t section_virtual_address_at = 12;
inline constexpr std::uint32_t section_raw_size_at = 16;
inline constexpr std::uint32_t section_raw_offset_at = 20;
inline constexpr std::uint32_t section_characteristics_at = 36;
}  // namespace pe_layout

}  // namespace trevan
