#pragma once

// A Windows executable image (PE32 or PE32+) held as bytes: its headers
// (read by the container's reader, container/pe_header.h), sections and
// data directories, and the one change branding makes, a new resource
// section. Every position read from the bytes is checked before it is
// used; damage is reported as pe_error.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "container/pe_header.h"
#include "tools/pe/pe_error.h"

namespace trevan::pe {

// The section table entry the container's header reader gives.
using pe_section = trevan::pe_section;

class pe_image {
public:
    // Parses the headers and the section table. The bytes may end before the
    // sections' raw data (a header-only read); offset_of checks against what
    // is there. Throws pe_error naming what when the headers are not those of
    // a PE image.
    pe_image(std::string bytes, const std::string& what);

    const std::string& bytes() const { return bytes_; }
    const pe_headers& headers() const { return headers_; }
    const std::vector<pe_section>& sections() const { return sections_; }
    pe_directory directory(unsigned index) const { return headers_.directory(index); }

    // The file offset of size bytes at rva when they lie in one section's
    // raw data and in the bytes held.
    std::optional<std::size_t> offset_of(std::uint32_t rva, std::uint32_t size) const;
    // The file section of the raw data holding rva: [offset, end).
    std::optional<std::pair<std::size_t, std::size_t>> raw_extent(std::uint32_t rva) const;

    // Where the image ends in the file: behind the headers and the raw data
    // of every section. Bytes beyond it are an overlay.
    std::size_t image_end() const;

    // Puts new resource data in place of the old: the data directory points
    // at it, SizeOfImage and the header checksum are recomputed, and nothing
    // else changes. When the resource section is the last one and holds
    // only the resources it is rewritten in place; otherwise a new section
    // ".rsrc" is appended behind the last and the old one stays unused.
    // build(rva) gives the section's data for the address it will have.
    // Throws pe_error when the image has no resource directory, has an
    // overlay, or has no room for another section header.
    void replace_resources(const std::function<std::string(std::uint32_t rva)>& build);

    // The header checksum of the bytes held (the checksum field counted as 0).
    std::uint32_t compute_checksum() const;
    std::uint32_t checksum_field() const;
    // SizeOfImage as the header states it.
    std::uint32_t size_of_image_field() const;

private:
    // Reads the headers from the bytes held.
    void read_headers();
    void put_optional_field(std::uint32_t at, std::uint32_t value);
    void write_section_header(std::size_t at, const pe_section& section);

    std::string bytes_;
    std::string what_;
    pe_headers headers_;
    std::uint32_t section_alignment_ = 0;
    std::uint32_t file_alignment_ = 0;
    std::uint32_t size_of_headers_ = 0;
    std::vector<pe_section> sections_;
};

}  // namespace trevan::pe
