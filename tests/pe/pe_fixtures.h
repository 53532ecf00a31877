#pragma once

// Inputs for the PE library's tests and the branding tests.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/pe/resource_tree.h"

namespace trevan::pe {

// An icon file of count 16x16 bitmap images (or of count copies of image).
std::string icon_file_bytes(std::size_t count, const std::string& image = "");

// A PE32 image of the named sections, each at the next 4 KiB boundary in
// memory and 512-byte boundary in the file; ".rsrc" is the resource
// directory and holds what resources(rva) gives for its address.
std::string image_of(const std::vector<std::string>& names,
                     const std::function<std::string(std::uint32_t rva)>& resources);
// The same with tree as the resources.
std::string image_of(const std::vector<std::string>& names, const resource_tree& tree);

}  // namespace trevan::pe
