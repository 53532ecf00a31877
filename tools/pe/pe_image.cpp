#include "tools/pe/pe_image.h"

#include <algorithm>

#include "support/core/little_endian.h"

namespace trevan::pe {
namespace {

using pe_layout::section_header_size;

// The optional header must hold the fields up to the data directories.
constexpr std::uint32_t min_optional_size = 96;

bool power_of_two(std::uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

std::uint64_t align_up(std::uint64_t n, std::uint32_t alignment) {
    return (n + alignment - 1) / alignment * alignment;
}

}  // namespace

void pe_image::read_headers() {
    auto fail = [&](const std::string& why) { return pe_error(what_ + " " + why); };
    if (bytes_.size() < pe_layout::dos_header_size || bytes_[0] != 'M' || bytes_[1] != 'Z')
        throw fail("is not a Windows executable (no MZ header)");
    memory_reader in(bytes_);
    headers_ = read_pe_headers(in, static_cast<std::uint32_t>(std::min<std::size_t>(bytes_.size(), 0xFFFFFFFFu)));
    switch (headers_.type) {
    case pe_headers::kind::pe: break;
    case pe_headers::kind::unknown_optional: throw fail("has an unknown optional header type");
    case pe_headers::kind::not_executable:
    case pe_headers::kind::no_pe_header: throw fail("is not a Windows executable (no PE header)");
    case pe_headers::kind::damaged:
    case pe_headers::kind::unreadable: throw fail("has a damaged PE header");
    }
    if (headers_.optional_size < min_optional_size || headers_.directories() > headers_.section_table())
        throw fail("has a damaged PE header");
}

pe_image::pe_image(std::string bytes, const std::string& what) : bytes_(std::move(bytes)), what_(what) {
    auto fail = [&](const std::string& why) { return pe_error(what_ + " " + why); };
    read_headers();
    section_alignment_ = headers_.optional_field(pe_layout::section_alignment_at);
    file_alignment_ = headers_.optional_field(pe_layout::file_alignment_at);
    size_of_headers_ = headers_.optional_field(pe_layout::size_of_headers_at);
    if (!power_of_two(file_alignment_) || !power_of_two(section_alignment_) || section_alignment_ < file_alignment_)
        throw fail("has damaged section or file alignment values");
    memory_reader in(bytes_);
    offset_reader file(in, static_cast<std::uint32_t>(std::min<std::size_t>(bytes_.size(), 0xFFFFFFFFu)), 0);
    std::optional<std::vector<pe_section>> table = read_pe_sections(file, headers_);
    if (!table) throw fail("has a damaged section table");
    sections_ = std::move(*table);
}

std::optional<std::pair<std::size_t, std::size_t>> pe_image::raw_extent(std::uint32_t rva) const {
    for (const pe_section& s : sections_) {
        if (rva < s.virtual_address || rva - s.virtual_address >= s.raw_size) continue;
        std::size_t offset = std::size_t(s.raw_offset) + (rva - s.virtual_address);
        std::size_t end = std::min<std::size_t>(std::size_t(s.raw_offset) + s.raw_size, bytes_.size());
        if (offset >= end) return std::nullopt;
        return std::make_pair(offset, end);
    }
    return std::nullopt;
}

std::optional<std::size_t> pe_image::offset_of(std::uint32_t rva, std::uint32_t size) const {
    auto extent = raw_extent(rva);
    if (!extent || extent->second - extent->first < size) return std::nullopt;
    return extent->first;
}

std::size_t pe_image::image_end() const {
    std::size_t end = size_of_headers_;
    for (const pe_section& s : sections_)
        if (s.raw_size > 0) end = std::max<std::size_t>(end, std::size_t(s.raw_offset) + s.raw_size);
    return end;
}

std::uint32_t pe_image::checksum_field() const { return headers_.optional_field(pe_layout::checksum_at); }

std::uint32_t pe_image::size_of_image_field() const { return headers_.optional_field(pe_layout::size_of_image_at); }

std::uint32_t pe_image::compute_checksum() const {
    // The ones' complement sum of the 16-bit words, folded to 16 bits, plus
    // the file's length; the checksum field itself counts as zero. An odd
    // last byte is a word of its own.
    const std::size_t field = headers_.optional_header + pe_layout::checksum_at;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes_.data());
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < bytes_.size(); i += 2) {
        if (i >= field && i < field + 4) continue;
        sum += i + 1 < bytes_.size() ? vennic::load_le16(p + i) : p[i];
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + bytes_.size());
}

void pe_image::put_optional_field(std::uint32_t at, std::uint32_t value) {
    vennic::put_le32(bytes_, headers_.optional_header + at, value);
}

void pe_image::write_section_header(std::size_t at, const pe_section& s) {
    std::string name = s.name.substr(0, pe_layout::section_name_size);
    name.resize(pe_layout::section_name_size, '\0');
    bytes_.replace(at, pe_layout::section_name_size, name);
    vennic::put_le32(bytes_, at + pe_layout::section_virtual_size_at, s.virtual_size);
    vennic::put_le32(bytes_, at + pe_layout::section_virtual_address_at, s.virtual_address);
    vennic::put_le32(bytes_, at + pe_layout::section_raw_size_at, s.raw_size);
    vennic::put_le32(bytes_, at + pe_layout::section_raw_offset_at, s.raw_offset);
    vennic::put_le32(bytes_, at + pe_layout::section_characteristics_at, s.characteristics);
}

void pe_image::replace_resources(const std::function<std::string(std::uint32_t rva)>& build) {
    auto fail = [&](const std::string& why) { return pe_error(what_ + " " + why); };
    pe_directory old = directory(resource_directory);
    if (old.address == 0 || old.size == 0) throw fail("has no resource directory");
    auto holder = std::find_if(sections_.begin(), sections_.end(), [&](const pe_section& s) {
        return old.address >= s.virtual_address && old.address - s.virtual_address < std::max(s.virtual_size, s.raw_size);
    });
    if (holder == sections_.end()) throw fail("has a resource directory outside its sections");
    const std::size_t end = image_end();
    if (bytes_.size() < end) throw fail("is cut short: its sections end beyond the file");
    if (bytes_.size() > end)
        throw fail("has " + std::to_string(bytes_.size() - end) +
                   " bytes behind its last section: brand the plain program");

    std::uint64_t virtual_end = 0;
    for (const pe_section& s : sections_)
        virtual_end = std::max<std::uint64_t>(virtual_end,
                                              std::uint64_t(s.virtual_address) + std::max(s.virtual_size, s.raw_size));
    // In place only when nothing lies behind the resource section, in the
    // file or in memory, and the section holds the resources alone.
    const bool in_place = holder->virtual_address == old.address && holder->raw_size > 0 &&
                          std::uint64_t(holder->raw_offset) + holder->raw_size == end &&
                          std::uint64_t(holder->virtual_address) + std::max(holder->virtual_size, holder->raw_size) ==
                              virtual_end;

    const std::size_t section_table = headers_.section_table();
    pe_section section;
    std::size_t header_at = 0;
    if (in_place) {
        section = *holder;
        header_at = section_table + (holder - sections_.begin()) * section_header_size;
    } else {
        header_at = section_table + sections_.size() * section_header_size;
        std::size_t first_raw = size_of_headers_;
        for (const pe_section& s : sections_)
            if (s.raw_size > 0) first_raw = std::min<std::size_t>(first_raw, s.raw_offset);
        if (sections_.size() >= max_pe_sections || header_at + section_header_size > first_raw ||
            bytes_.find_first_not_of('\0', header_at) < header_at + section_header_size)
            throw fail("has no room for another section header");
        section.name = ".rsrc";
        section.characteristics = holder->characteristics;
        section.virtual_address = static_cast<std::uint32_t>(align_up(virtual_end, section_alignment_));
        section.raw_offset = static_cast<std::uint32_t>(align_up(end, file_alignment_));
    }

    std::string data = build(section.virtual_address);
    std::uint64_t raw_size = align_up(data.size(), file_alignment_);
    if (std::uint64_t(section.raw_offset) + raw_size > 0x7FFFFFFF ||
        std::uint64_t(section.virtual_address) + align_up(raw_size, section_alignment_) > 0xFFFFFFFFu)
        throw fail("would grow beyond the size of an image");
    section.virtual_size = static_cast<std::uint32_t>(data.size());
    section.raw_size = static_cast<std::uint32_t>(raw_size);

    bytes_.resize(section.raw_offset, '\0');
    bytes_ += data;
    bytes_.resize(section.raw_offset + raw_size, '\0');
    write_section_header(header_at, section);
    if (in_place) {
        *holder = section;
    } else {
        sections_.push_back(section);
        vennic::put_le16(bytes_, headers_.file_header + pe_layout::section_count_at,
                         static_cast<std::uint16_t>(sections_.size()));
    }

    std::uint64_t image_size = 0;
    for (const pe_section& s : sections_)
        image_size = std::max<std::uint64_t>(
            image_size, align_up(std::uint64_t(s.virtual_address) + std::max(s.virtual_size, s.raw_size), section_alignment_));
    put_optional_field(pe_layout::size_of_image_at, static_cast<std::uint32_t>(image_size));
    const std::size_t resource_entry = headers_.directories() + resource_directory * pe_layout::directory_size;
    vennic::put_le32(bytes_, resource_entry, section.virtual_address);
    vennic::put_le32(bytes_, resource_entry + 4, section.virtual_size);
    put_optional_field(pe_layout::checksum_at, compute_checksum());
    // The fields just written, as the next reader sees them.
    read_headers();
}

}  // namespace trevan::pe
