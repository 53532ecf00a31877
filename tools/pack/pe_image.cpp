#include "tools/pack/pe_image.h"

#include <algorithm>

#include "tools/pack/byte_fields.h"

namespace trevan::pack {
namespace {

constexpr std::size_t section_header_size = 40;
// The loader's own limit on sections.
constexpr std::uint32_t max_sections = 96;

bool power_of_two(std::uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

std::uint64_t align_up(std::uint64_t n, std::uint32_t alignment) {
    return (n + alignment - 1) / alignment * alignment;
}

}  // namespace

std::uint32_t pe_image::u32(std::size_t at) const { return read32(bytes_, at); }

void pe_image::put32(std::size_t at, std::uint32_t value) { write32(bytes_, at, value); }

void pe_image::put16(std::size_t at, std::uint16_t value) { write16(bytes_, at, value); }

pe_image::pe_image(std::string bytes, const std::string& what) : bytes_(std::move(bytes)), what_(what) {
    auto fail = [&](const std::string& why) { return branding_error(what_ + " " + why); };
    if (bytes_.size() < 64 || bytes_[0] != 'M' || bytes_[1] != 'Z')
        throw fail("is not a Windows executable (no MZ header)");
    std::size_t pe = u32(0x3C);
    if (pe > bytes_.size() || bytes_.size() - pe < 24 || bytes_.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        throw fail("is not a Windows executable (no PE header)");
    file_header_ = pe + 4;
    std::uint32_t section_count = u32(file_header_ + 2) & 0xFFFF;
    std::uint32_t optional_size = u32(file_header_ + 16) & 0xFFFF;
    optional_header_ = file_header_ + 20;
    if (optional_size < 96 || bytes_.size() - optional_header_ < optional_size)
        throw fail("has a damaged PE header");
    std::uint32_t magic = u32(optional_header_) & 0xFFFF;
    std::size_t count_at = magic == 0x20b ? 108 : magic == 0x10b ? 92 : 0;
    if (count_at == 0) throw fail("has an unknown optional header type");
    if (optional_size < count_at + 4) throw fail("has a damaged PE header");
    directory_count_ = std::min<std::uint32_t>(u32(optional_header_ + count_at), (optional_size - count_at - 4) / 8);
    directories_ = optional_header_ + count_at + 4;
    section_alignment_ = u32(optional_header_ + 32);
    file_alignment_ = u32(optional_header_ + 36);
    size_of_headers_ = u32(optional_header_ + 60);
    if (!power_of_two(file_alignment_) || !power_of_two(section_alignment_) || section_alignment_ < file_alignment_)
        throw fail("has damaged section or file alignment values");
    section_table_ = optional_header_ + optional_size;
    if (section_count > max_sections || bytes_.size() - section_table_ < section_count * section_header_size)
        throw fail("has a damaged section table");
    for (std::uint32_t i = 0; i < section_count; ++i) {
        std::size_t at = section_table_ + i * section_header_size;
        pe_section s;
        s.name = bytes_.substr(at, 8);
        s.name.resize(std::min(s.name.find('\0'), s.name.size()));
        s.virtual_size = u32(at + 8);
        s.virtual_address = u32(at + 12);
        s.raw_size = u32(at + 16);
        s.raw_offset = u32(at + 20);
        s.characteristics = u32(at + 36);
        if (std::uint64_t(s.raw_offset) + s.raw_size > 0xFFFFFFFFu ||
            std::uint64_t(s.virtual_address) + std::max(s.virtual_size, s.raw_size) > 0xFFFFFFFFu)
            throw fail("has a damaged section table");
        sections_.push_back(s);
    }
}

pe_directory pe_image::directory(unsigned index) const {
    if (index >= directory_count_) return {};
    return {u32(directories_ + index * 8), u32(directories_ + index * 8 + 4)};
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

std::uint32_t pe_image::checksum_field() const { return u32(optional_header_ + 64); }

std::uint32_t pe_image::compute_checksum() const {
    // The ones' complement sum of the 16-bit words, folded to 16 bits, plus
    // the file's length; the checksum field itself counts as zero.
    const std::size_t field = optional_header_ + 64;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes_.data());
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < bytes_.size(); i += 2) {
        if (i >= field && i < field + 4) continue;
        std::uint32_t word = p[i] | (i + 1 < bytes_.size() ? p[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<std::uint32_t>(sum + bytes_.size());
}

void pe_image::write_section_header(std::size_t at, const pe_section& s) {
    std::string name = s.name.substr(0, 8);
    name.resize(8, '\0');
    bytes_.replace(at, 8, name);
    put32(at + 8, s.virtual_size);
    put32(at + 12, s.virtual_address);
    put32(at + 16, s.raw_size);
    put32(at + 20, s.raw_offset);
    put32(at + 36, s.characteristics);
}

void pe_image::replace_resources(const std::function<std::string(std::uint32_t rva)>& build) {
    auto fail = [&](const std::string& why) { return branding_error(what_ + " " + why); };
    pe_directory old = directory(resource_directory);
    if (old.rva == 0 || old.size == 0) throw fail("has no resource directory");
    auto holder = std::find_if(sections_.begin(), sections_.end(), [&](const pe_section& s) {
        return old.rva >= s.virtual_address && old.rva - s.virtual_address < std::max(s.virtual_size, s.raw_size);
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
    const bool in_place = holder->virtual_address == old.rva && holder->raw_size > 0 &&
                          std::uint64_t(holder->raw_offset) + holder->raw_size == end &&
                          std::uint64_t(holder->virtual_address) + std::max(holder->virtual_size, holder->raw_size) ==
                              virtual_end;

    pe_section section;
    std::size_t header_at = 0;
    if (in_place) {
        section = *holder;
        header_at = section_table_ + (holder - sections_.begin()) * section_header_size;
    } else {
        header_at = section_table_ + sections_.size() * section_header_size;
        std::size_t first_raw = size_of_headers_;
        for (const pe_section& s : sections_)
            if (s.raw_size > 0) first_raw = std::min<std::size_t>(first_raw, s.raw_offset);
        if (sections_.size() >= max_sections || header_at + section_header_size > first_raw ||
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
        put16(file_header_ + 2, static_cast<std::uint16_t>(sections_.size()));
    }

    std::uint64_t image_size = 0;
    for (const pe_section& s : sections_)
        image_size = std::max<std::uint64_t>(
            image_size, align_up(std::uint64_t(s.virtual_address) + std::max(s.virtual_size, s.raw_size), section_alignment_));
    put32(optional_header_ + 56, static_cast<std::uint32_t>(image_size));
    put32(directories_ + resource_directory * 8, section.virtual_address);
    put32(directories_ + resource_directory * 8 + 4, section.virtual_size);
    put32(optional_header_ + 64, compute_checksum());
}

}  // namespace trevan::pack
