#pragma once

// Inputs for the PE library's tests and the branding tests.

#include <cstddef>
#include <string>

namespace trevan::pe {

// An icon file of count 16x16 bitmap images (or of count copies of image).
std::string icon_file_bytes(std::size_t count, const std::string& image = "");

}  // namespace trevan::pe
