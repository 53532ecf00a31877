#include "container/pe_header.h"

#include <algorithm>
#include <cstring>

#include "support/core/little_endian.h"

namespace trevan {
namespace {

using vennic::load_le16;
using vennic::load_le32;

pe_headers problem(pe_headers::kind kind, std::string what) {
    pe_headers h;
    h.type = kind;
    h.problem = std::move(what);
    return h;
}

// The directory count's offset in the optional header; 0 for an unknown
// optional header.
std::uint32_t directory_count_at(std::uint32_t magic) {
    return magic == pe_layout::pe32_plus_magic ? pe_layout::pe32_plus_directory_count_at
           : magic == pe_layout::pe32_magic    ? pe_layout::pe32_directory_count_at
                                               : 0;
}

}  // namespace

pe_headers read_pe_headers(offset_reader& file) {
    using kind = pe_headers::kind;
    unsigned char dos[pe_layout::dos_header_size];
    if (file.size() < 2) return {};
    if (!file.read_at(0, dos, 2)) return problem(kind::unreadable, "its first bytes cannot be read");
    if (dos[0] != 'M' || dos[1] != 'Z') return {};
    if (file.size() < sizeof dos) return problem(kind::no_pe_header, "the file is too short for a DOS header");
    if (!file.read_at(0, dos, sizeof dos)) return problem(kind::unreadable, "its DOS header cannot be read");

    // The PE signature and the file header in one read.
    const std::uint64_t pe = load_le32(dos + pe_layout::lfanew_at);
    unsigned char head[pe_layout::signature_size + pe_layout::file_header_size];
    if (pe + sizeof head > file.size())
        return problem(kind::no_pe_header, "e_lfanew (" + std::to_string(pe) + ") points outside the file");
    if (!file.read_at(pe, head, sizeof head)) return problem(kind::unreadable, "its PE header cannot be read");
    if (std::memcmp(head, "PE\0\0", pe_layout::signature_size) != 0)
        return problem(kind::no_pe_header, "no PE signature at offset " + std::to_string(pe));

    pe_headers h;
    std::memcpy(h.file_header_bytes, head + pe_layout::signature_size, sizeof h.file_header_bytes);
    const std::uint32_t optional_size = load_le16(h.file_header_bytes + pe_layout::optional_size_at);
    const std::uint64_t optional_at = pe + sizeof head;
    if (optional_size < 2 || optional_at + optional_size > file.size())
        return problem(kind::damaged, "the optional header (" + std::to_string(optional_size) + " bytes at offset " +
                                          std::to_string(optional_at) + ") does not fit in the file");
    const std::uint32_t wanted = optional_size < sizeof h.optional_bytes ? optional_size : sizeof h.optional_bytes;
    if (!file.read_at(optional_at, h.optional_bytes, wanted))
        return problem(kind::unreadable, "its optional header cannot be read");
    const std::uint32_t magic = load_le16(h.optional_bytes);
    if (directory_count_at(magic) == 0)
        return problem(kind::unknown_optional, "unknown optional header magic " + std::to_string(magic));

    h.type = kind::pe;
    h.file_header = static_cast<std::uint32_t>(pe + pe_layout::signature_size);
    h.optional_header = static_cast<std::uint32_t>(optional_at);
    h.optional_size = optional_size;
    return h;
}

// The fields below are read from the arrays, whose sizes bound every offset
// used; an optional header shorter than a field holds none of it.

std::uint16_t pe_headers::section_count() const {
    return load_le16(file_header_bytes + pe_layout::section_count_at);
}

std::uint32_t pe_headers::optional_field(std::uint32_t at) const {
    const std::uint32_t held = optional_size < sizeof optional_bytes ? optional_size : sizeof optional_bytes;
    return at <= held && held - at >= 4 ? load_le32(optional_bytes + at) : 0;
}

std::uint32_t pe_headers::directories() const {
    return optional_header + directory_count_at(load_le16(optional_bytes)) + 4;
}

pe_directory pe_headers::directory(unsigned index) const {
    // A directory beyond the count the optional header declares, or not
    // wholly inside it, does not exist; nor does one beyond the 16 the
    // format knows.
    const std::uint32_t count_at = directory_count_at(load_le16(optional_bytes));
    const std::uint32_t at = count_at + 4 + index * pe_layout::directory_size;
    if (count_at == 0 || index >= pe_layout::max_directories || index >= optional_field(count_at) ||
        optional_size < at + pe_layout::directory_size)
        return {};
    return {optional_field(at), optional_field(at + 4)};
}

bool pe_headers::is_signed() const {
    const pe_directory table = directory(certificate_directory);
    return table.address != 0 || table.size != 0;
}

std::optional<std::vector<pe_section>> read_pe_sections(offset_reader& file, const pe_headers& headers) {
    using pe_layout::section_header_size;
    const std::uint32_t count = headers.section_count();
    if (headers.type != pe_headers::kind::pe || count > max_pe_sections) return std::nullopt;
    std::string table(std::size_t(count) * section_header_size, '\0');
    if (!file.read_at(headers.section_table(), table.data(), static_cast<std::uint32_t>(table.size())))
        return std::nullopt;
    std::vector<pe_section> sections;
    for (std::uint32_t i = 0; i < count; ++i) {
        const unsigned char* entry = reinterpret_cast<const unsigned char*>(table.data()) + i * section_header_size;
        pe_section s;
        s.name.assign(reinterpret_cast<const char*>(entry), pe_layout::section_name_size);
        s.name.resize(std::min(s.name.find('\0'), s.name.size()));
        s.virtual_size = load_le32(entry + pe_layout::section_virtual_size_at);
        s.virtual_address = load_le32(entry + pe_layout::section_virtual_address_at);
        s.raw_size = load_le32(entry + pe_layout::section_raw_size_at);
        s.raw_offset = load_le32(entry + pe_layout::section_raw_offset_at);
        s.characteristics = load_le32(entry + pe_layout::section_characteristics_at);
        if (std::uint64_t(s.raw_offset) + s.raw_size > 0xFFFFFFFFu ||
            std::uint64_t(s.virtual_address) + std::max(s.virtual_size, s.raw_size) > 0xFFFFFFFFu)
            return std::nullopt;
        sections.push_back(std::move(s));
    }
    return sections;
}

pe_headers read_pe_headers(archive_reader& in, std::uint32_t file_size) {
    std::optional<std::uint32_t> at = in.move(0);
    if (!at) return problem(pe_headers::kind::unreadable, "the file position cannot be read");
    offset_reader file(in, file_size, *at);
    return read_pe_headers(file);
}

}  // namespace trevan
