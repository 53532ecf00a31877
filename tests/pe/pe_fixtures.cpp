#include "tests/pe/pe_fixtures.h"

#include "support/core/little_endian.h"

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

}  // namespace trevan::pe
