#pragma once

// The resources of an image as a tree: type, name, language, data. Read
// from the resource directory of a pe_image, written as the bytes of a
// resource section for a given address. Entries keep their order on the
// way through (names before numbers, names by code unit, numbers ascending),
// as the loader's binary search needs it.

#include <cstdint>
#include <map>
#include <string>

#include "tools/pe/pe_image.h"

namespace trevan::pe {

// A resource type or name: a number, or a UTF-16 name.
struct resource_id {
    bool named = false;
    std::uint16_t number = 0;
    std::u16string name;

    static resource_id of(std::uint16_t n) { return {false, n, {}}; }
    bool operator<(const resource_id& other) const {
        if (named != other.named) return named;
        return named ? name < other.name : number < other.number;
    }
    bool operator==(const resource_id& other) const {
        return named == other.named && number == other.number && name == other.name;
    }
};

struct resource_data {
    std::string bytes;
    std::uint32_t codepage = 0;
    bool operator==(const resource_data& other) const { return bytes == other.bytes && codepage == other.codepage; }
};

using resource_languages = std::map<std::uint16_t, resource_data>;
using resource_names = std::map<resource_id, resource_languages>;
using resource_tree = std::map<resource_id, resource_names>;

// Resource types used here and by branding.
inline constexpr std::uint16_t rt_icon = 3;
inline constexpr std::uint16_t rt_string = 6;
inline constexpr std::uint16_t rt_group_icon = 14;
inline constexpr std::uint16_t rt_version = 16;
inline constexpr std::uint16_t rt_manifest = 24;

// The image's resources. Throws pe_error when the image has no
// resource directory or it is damaged (an entry, name or data outside the
// image, deeper than type, name and language, or names and data that add up
// to more bytes than the image holds, a shared one counted each time it is
// named), so a tree never takes more memory than the image's size allows.
resource_tree read_resources(const pe_image& image, const std::string& what);

// The resource section for the tree at virtual address rva: directories,
// data entries, names, then the data, each item aligned to 8 bytes.
std::string write_resources(const resource_tree& tree, std::uint32_t rva);

}  // namespace trevan::pe
