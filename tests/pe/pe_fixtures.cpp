#include "tests/pe/pe_fixtures.h"

#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"

namespace trevan::pe {

std::string icon_file_bytes(std::size_t count, const std::string& image) {
    using vennic::put_le16;
    using vennic::put_le32;
    std::string bitmap(40 + 16 * 16 * 4 + 16 * 4, '\x11');
    put_le32(bitmap, 0, 40);
    put_le16(bitmap, 12, 1);
    put_le16(bitmap, 14, 32);
    const std::string& data = image.empty() ? bitmap : image;
    std::string out(6 + 16 * count, '\0');
    put_le16(out, 2, 1);
    put_le16(out, 4, static_cast<std::uint16_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t entry = 6 + 16 * i;
        out[entry] = out[entry + 1] = 16;
        put_le32(out, entry + 8, static_cast<std::uint32_t>(data.size()));
        put_le32(out, entry + 12, static_cast<std::uint32_t>(6 + 16 * count + i * data.size()));
    }
    for (std::size_t i = 0; i < count; ++i) out += data;
    return out;
}

std::string image_of(const std::vector<std::string>& names,
                     const std::function<std::string(std::uint32_t rva)>& resources) {
    using vennic::put_le16;
    using vennic::put_le32;
    constexpr std::uint32_t file_alignment = 0x200, section_alignment = 0x1000;
    auto align = [](std::size_t n, std::uint32_t a) { return static_cast<std::uint32_t>((n + a - 1) / a * a); };
    std::string image = fixtures::minimal_pe(file_alignment);
    const fixtures::pe_offsets pe = fixtures::pe_offsets_of(image).value();
    put_le32(image, pe.optional_header + pe_layout::section_alignment_at, section_alignment);
    put_le32(image, pe.optional_header + pe_layout::file_alignment_at, file_alignment);
    put_le32(image, pe.optional_header + pe_layout::size_of_headers_at, file_alignment);
    put_le16(image, pe.file_header + pe_layout::section_count_at, static_cast<std::uint16_t>(names.size()));
    std::uint32_t rva = section_alignment;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::string data = names[i] == ".rsrc" ? resources(rva) : std::string(100, 'x');
        const std::size_t header = pe.section_table + i * pe_layout::section_header_size;
        image.replace(header, names[i].size(), names[i]);
        put_le32(image, header + 8, static_cast<std::uint32_t>(data.size()));
        put_le32(image, header + 12, rva);
        put_le32(image, header + 16, align(data.size(), file_alignment));
        put_le32(image, header + 20, static_cast<std::uint32_t>(image.size()));
        put_le32(image, header + 36, 0x40000040);  // initialised data, readable
        if (names[i] == ".rsrc") {
            put_le32(image, pe.directory_entry(resource_directory), rva);
            put_le32(image, pe.directory_entry(resource_directory) + 4, static_cast<std::uint32_t>(data.size()));
        }
        image += data;
        image.resize(align(image.size(), file_alignment), '\0');
        rva += align(data.size(), section_alignment);
    }
    put_le32(image, pe.optional_header + pe_layout::size_of_image_at, rva);
    return image;
}

std::string image_of(const std::vector<std::string>& names, const resource_tree& tree) {
    return image_of(names, [&](std::uint32_t rva) { return write_resources(tree, rva); });
}

}  // namespace trevan::pe
