#pragma once

// The headers of a PE file (PE32 or PE32+): the DOS header's e_lfanew, the
// PE signature, the file header and the optional header with its data
// directories. This is the one reader of them: the program's anchor (where a
// container may end), the pack tool's stub checks and the PE library
// (tools/pe) all build on it.
//
// Every offset and length read from the file is checked against the file
// size before anything is read there; the fields are then decoded from
// fixed-size copies of the headers, and a field that a short optional
// header does not hold reads as 0. The headers are read through the
// archive_reader like the walk, in a handful of small reads.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "container/pe_layout.h"
#include "container/reader.h"

namespace trevan {

// Data directories used here.
inline constexpr unsigned resource_directory = 2;
// The certificate table; its address is a file offset, not an RVA.
inline constexpr unsigned certificate_directory = 4;

struct pe_directory {
    std::uint32_t address = 0;
    std::uint32_t size = 0;
};

struct pe_headers {
    enum class kind {
        not_executable,   // does not begin with "MZ"
        pe,               // a PE file
        no_pe_header,     // "MZ", but no PE signature where e_lfanew points
        damaged,          // the file header or optional header lies outside the file
        unknown_optional, // an optional header that is neither PE32 nor PE32+
        unreadable,       // a move or read failed
    };
    kind type = kind::not_executable;
    // For every kind but not_executable and pe: what is wrong, one phrase.
    std::string problem;

    // For kind::pe: file offsets of the file header (behind the signature)
    // and of the optional header, SizeOfOptionalHeader, and the section
    // table behind the optional header.
    std::uint32_t file_header = 0;
    std::uint32_t optional_header = 0;
    std::uint32_t optional_size = 0;
    std::uint32_t section_table() const { return optional_header + optional_size; }

    // For kind::pe, decoded from the bytes read.
    std::uint16_t section_count() const;
    // The 32-bit field at offset `at` of the optional header (pe_layout).
    std::uint32_t optional_field(std::uint32_t at) const;
    // File offset of data directory 0.
    std::uint32_t directories() const;
    // A data directory; zeros when it does not exist: beyond the count the
    // optional header declares, not wholly inside it, or beyond the 16 the
    // format knows.
    pe_directory directory(unsigned index) const;
    // Whether the certificate table entry is set: the file is signed, or
    // claims to be. A stub must not be; a packed file may be.
    bool is_signed() const;

    // The file header and the first bytes of the optional header as read.
    unsigned char file_header_bytes[pe_layout::file_header_size] = {};
    unsigned char optional_bytes[pe_layout::max_optional_read] = {};
};

// One entry of the section table.
struct pe_section {
    std::string name;  // up to 8 bytes, without the NULs that pad it
    std::uint32_t virtual_size = 0;
    std::uint32_t virtual_address = 0;
    std::uint32_t raw_size = 0;
    std::uint32_t raw_offset = 0;
    std::uint32_t characteristics = 0;
};

// The loader's own limit on sections.
inline constexpr std::uint32_t max_pe_sections = 96;

// Reads the headers of the file behind in, whose size is file_size bytes.
// The position afterwards is unspecified. Throws only std::bad_alloc.
pe_headers read_pe_headers(archive_reader& in, std::uint32_t file_size);
// The same through a reader at offsets that the caller goes on using.
pe_headers read_pe_headers(offset_reader& file);

// The section table of a file whose headers (kind::pe) were read from it, in
// one read. Nothing when the table does not lie wholly inside the file, it
// has more than max_pe_sections entries, or a section's raw data or
// addresses run beyond 32 bits. Throws only std::bad_alloc.
std::optional<std::vector<pe_section>> read_pe_sections(offset_reader& file, const pe_headers& headers);

}  // namespace trevan
