#pragma once

// Windows icon files (.ico): the images they hold, and the group directory
// (RT_GROUP_ICON) that names them as RT_ICON resources.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/pe/pe_error.h"

namespace trevan::pe {

inline constexpr std::size_t max_icon_images = 64;

struct icon_image {
    std::uint8_t width = 0;   // 0 means 256
    std::uint8_t height = 0;  // 0 means 256
    std::uint8_t colors = 0;
    std::uint16_t planes = 0;
    std::uint16_t bit_count = 0;
    std::string data;  // a BITMAPINFOHEADER image or a PNG file
};

// The images of an icon file's bytes. Throws pe_error naming what when
// the bytes are not an icon file (header, directory, an image outside the
// file or neither a bitmap nor PNG) or hold no or more than 64 images.
// Planes and bit count left 0 in the file are taken from the image.
std::vector<icon_image> read_icon_file(const std::string& bytes, const std::string& what);

// RT_GROUP_ICON data for the images as RT_ICON ids first_id, first_id + 1...
std::string group_icon_resource(const std::vector<icon_image>& images, std::uint16_t first_id);

// The number of images an RT_GROUP_ICON's data names; 0 when it is too short
// to say.
std::size_t group_icon_count(const std::string& group);

}  // namespace trevan::pe
