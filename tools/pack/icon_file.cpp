#include "tools/pack/icon_file.h"

#include "tools/pack/byte_fields.h"

namespace trevan::pack {
namespace {

const std::string png_signature("\x89PNG\r\n\x1a\n", 8);
constexpr std::size_t bitmap_header_size = 40;

}  // namespace

std::vector<icon_image> read_icon_file(const std::string& bytes, const std::string& what) {
    const std::string not_icon = what + " is not an icon file";
    if (bytes.size() < 6 || read16(bytes, 0) != 0 || read16(bytes, 2) != 1) throw branding_error(not_icon);
    const std::size_t count = read16(bytes, 4);
    if (count == 0) throw branding_error(what + " holds no images");
    if (count > max_icon_images)
        throw branding_error(what + " holds " + std::to_string(count) + " images, more than " +
                             std::to_string(max_icon_images));
    const std::size_t directory_end = 6 + 16 * count;
    if (bytes.size() < directory_end) throw branding_error(not_icon + " (its directory is cut short)");

    std::vector<icon_image> images;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + 16 * i;
        const std::uint32_t size = read32(bytes, entry + 8), offset = read32(bytes, entry + 12);
        if (offset < directory_end || offset > bytes.size() || bytes.size() - offset < size)
            throw branding_error(not_icon + " (image " + std::to_string(i + 1) + " lies outside the file)");
        icon_image image;
        image.width = static_cast<std::uint8_t>(bytes[entry]);
        image.height = static_cast<std::uint8_t>(bytes[entry + 1]);
        image.colors = static_cast<std::uint8_t>(bytes[entry + 2]);
        image.planes = static_cast<std::uint16_t>(read16(bytes, entry + 4));
        image.bit_count = static_cast<std::uint16_t>(read16(bytes, entry + 6));
        image.data = bytes.substr(offset, size);
        if (image.data.compare(0, png_signature.size(), png_signature) == 0 && size > png_signature.size()) {
            if (image.planes == 0) image.planes = 1;
            if (image.bit_count == 0) image.bit_count = 32;
        } else if (size > bitmap_header_size && read32(image.data, 0) == bitmap_header_size) {
            if (image.planes == 0) image.planes = static_cast<std::uint16_t>(read16(image.data, 12));
            if (image.bit_count == 0) image.bit_count = static_cast<std::uint16_t>(read16(image.data, 14));
        } else {
            throw branding_error(not_icon + " (image " + std::to_string(i + 1) + " is neither a bitmap nor PNG)");
        }
        images.push_back(std::move(image));
    }
    return images;
}

std::string group_icon_resource(const std::vector<icon_image>& images, std::uint16_t first_id) {
    std::string out;
    append16(out, 0);
    append16(out, 1);
    append16(out, static_cast<std::uint32_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const icon_image& image = images[i];
        out += static_cast<char>(image.width);
        out += static_cast<char>(image.height);
        out += static_cast<char>(image.colors);
        out += '\0';
        append16(out, image.planes);
        append16(out, image.bit_count);
        append32(out, static_cast<std::uint32_t>(image.data.size()));
        append16(out, static_cast<std::uint32_t>(first_id + i));
    }
    return out;
}

}  // namespace trevan::pack
