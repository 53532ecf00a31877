#include "tools/pe/icon_file.h"

#include "support/core/little_endian.h"

namespace trevan::pe {
namespace {

using vennic::append_le16;
using vennic::append_le32;

const std::string png_signature("\x89PNG\r\n\x1a\n", 8);
constexpr std::size_t bitmap_header_size = 40;
// The header of an icon file and of a group: reserved, type (1 for icons)
// and the count of the entries that follow.
constexpr std::size_t header_size = 6;
constexpr std::size_t file_entry_size = 16;

}  // namespace

std::vector<icon_image> read_icon_file(const std::string& bytes, const std::string& what) {
    const std::string not_icon = what + " is not an icon file";
    const vennic::le_view file(bytes);
    if (!file.holds(0, header_size) || file.u16(0) != 0 || file.u16(2) != 1) throw pe_error(not_icon);
    const std::size_t count = *file.u16(4);
    if (count == 0) throw pe_error(what + " holds no images");
    if (count > max_icon_images)
        throw pe_error(what + " holds " + std::to_string(count) + " images, more than " +
                       std::to_string(max_icon_images));
    const std::size_t directory_end = header_size + file_entry_size * count;
    const std::optional<vennic::le_view> directory = file.part(header_size, file_entry_size * count);
    if (!directory) throw pe_error(not_icon + " (its directory is cut short)");

    std::vector<icon_image> images;
    for (std::size_t i = 0; i < count; ++i) {
        const vennic::le_view entry = *directory->part(file_entry_size * i, file_entry_size);
        const std::uint32_t size = *entry.u32(8), offset = *entry.u32(12);
        if (offset < directory_end || !file.holds(offset, size))
            throw pe_error(not_icon + " (image " + std::to_string(i + 1) + " lies outside the file)");
        icon_image image;
        image.width = *entry.u8(0);
        image.height = *entry.u8(1);
        image.colors = *entry.u8(2);
        image.planes = *entry.u16(4);
        image.bit_count = *entry.u16(6);
        image.data = bytes.substr(offset, size);
        const vennic::le_view data(image.data);
        if (image.data.compare(0, png_signature.size(), png_signature) == 0 && size > png_signature.size()) {
            if (image.planes == 0) image.planes = 1;
            if (image.bit_count == 0) image.bit_count = 32;
        } else if (size > bitmap_header_size && data.u32(0) == bitmap_header_size) {
            if (image.planes == 0) image.planes = *data.u16(12);
            if (image.bit_count == 0) image.bit_count = *data.u16(14);
        } else {
            throw pe_error(not_icon + " (image " + std::to_string(i + 1) + " is neither a bitmap nor PNG)");
        }
        images.push_back(std::move(image));
    }
    return images;
}

std::string group_icon_resource(const std::vector<icon_image>& images, std::uint16_t first_id) {
    std::string out;
    append_le16(out, 0);
    append_le16(out, 1);
    append_le16(out, static_cast<std::uint16_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const icon_image& image = images[i];
        out += static_cast<char>(image.width);
        out += static_cast<char>(image.height);
        out += static_cast<char>(image.colors);
        out += '\0';
        append_le16(out, image.planes);
        append_le16(out, image.bit_count);
        append_le32(out, static_cast<std::uint32_t>(image.data.size()));
        append_le16(out, static_cast<std::uint16_t>(first_id + i));
    }
    return out;
}

std::size_t group_icon_count(const std::string& group) { return vennic::le_view(group).u16(4).value_or(0); }

}  // namespace trevan::pe
