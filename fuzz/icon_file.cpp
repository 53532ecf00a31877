// The icon-file reader (tools/pe/icon_file.h) over any bytes. Oracle: the
// images it takes, written again as an icon file of the plainest layout,
// read back as the same images; and the group directory made of them
// names as many.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/core/little_endian.h"
#include "tools/pe/icon_file.h"

namespace {

using namespace trevan::pe;

void check(bool condition) {
    if (!condition) std::abort();
}

// The header, the directory, then each image's data in order.
std::string icon_file_of(const std::vector<icon_image>& images) {
    std::string out;
    vennic::append_le16(out, 0);
    vennic::append_le16(out, 1);
    vennic::append_le16(out, static_cast<std::uint16_t>(images.size()));
    std::size_t offset = 6 + 16 * images.size();
    for (const icon_image& image : images) {
        out += static_cast<char>(image.width);
        out += static_cast<char>(image.height);
        out += static_cast<char>(image.colors);
        out += '\0';
        vennic::append_le16(out, image.planes);
        vennic::append_le16(out, image.bit_count);
        vennic::append_le32(out, static_cast<std::uint32_t>(image.data.size()));
        vennic::append_le32(out, static_cast<std::uint32_t>(offset));
        offset += image.data.size();
    }
    for (const icon_image& image : images) out += image.data;
    return out;
}

bool same(const icon_image& a, const icon_image& b) {
    return a.width == b.width && a.height == b.height && a.colors == b.colors && a.planes == b.planes &&
           a.bit_count == b.bit_count && a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::vector<icon_image> images;
    try {
        images = read_icon_file(bytes, "fuzz");
    } catch (const pe_error&) {
        return 0;
    }
    check(!images.empty() && images.size() <= max_icon_images);
    const std::vector<icon_image> again = read_icon_file(icon_file_of(images), "again");
    check(again.size() == images.size());
    for (std::size_t i = 0; i < images.size(); ++i) check(same(images[i], again[i]) && images[i].data.size() <= size);
    check(group_icon_count(group_icon_resource(images, 1)) == images.size());
    return 0;
}
