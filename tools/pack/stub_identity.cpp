#include "tools/pack/stub_identity.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>

#include "tools/pe/icon_file.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"
#include "tools/pe/string_table.h"
#include "tools/pe/text16.h"
#include "tools/pe/version_info.h"

namespace trevan::pack {
namespace {

using namespace trevan::pe;

// The headers and section table fit here in any image worth reading.
constexpr std::size_t header_read = 64u << 10;
// Stubs are well below a MiB; an image claiming more is not read whole.
constexpr std::size_t max_image_read = 256u << 20;

std::string read_part(std::ifstream& in, std::size_t size) {
    std::string bytes(size, '\0');
    in.clear();
    in.seekg(0);
    in.read(bytes.data(), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

const resource_data* first_of(const resource_tree& tree, std::uint16_t type, std::optional<std::uint16_t> name) {
    auto t = tree.find(resource_id::of(type));
    if (t == tree.end()) return nullptr;
    auto n = name ? t->second.find(resource_id::of(*name)) : t->second.begin();
    if (n == t->second.end() || n->second.empty()) return nullptr;
    return &n->second.begin()->second;
}

std::optional<std::string> table_string(const resource_tree& tree, std::uint16_t id) {
    const resource_data* block = first_of(tree, rt_string, string_block_of(id));
    if (!block) return std::nullopt;
    const std::u16string text = read_string_block(block->bytes)[string_index_of(id)];
    if (text.empty()) return std::nullopt;
    return utf16_to_utf8(text);
}

std::string shown(const std::optional<std::string>& text) {
    if (!text) return "(none)";
    std::string out = "\"";
    for (char c : *text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

stub_identity read_stub_identity(const std::string& path) {
    stub_identity id;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        id.problem = "cannot be read";
        return id;
    }
    try {
        pe_image head(read_part(in, header_read), "the stub");
        id.is_signed = head.headers().is_signed();
        if (head.image_end() > max_image_read) {
            id.problem = "the image is larger than 256 MiB";
            return id;
        }
        pe_image image(read_part(in, head.image_end()), "the stub");
        resource_tree tree = read_resources(image, "the stub");
        id.maker_name = table_string(tree, 2001);
        id.product_name = table_string(tree, 2002);
        if (const resource_data* version = first_of(tree, rt_version, std::nullopt)) {
            if (auto info = parse_version_resource(version->bytes)) {
                id.has_version = true;
                id.file_version = info->file_version.text();
                id.product_version = info->product_version.text();
                for (const auto& [key, value] : info->strings)
                    id.version_strings.emplace_back(utf16_to_utf8(key), utf16_to_utf8(value));
            }
        }
        if (const resource_data* group = first_of(tree, rt_group_icon, std::nullopt))
            id.icon_images = group_icon_count(group->bytes);
    } catch (const pe_error& e) {
        id.problem = e.what();
    }
    return id;
}

std::string identity_text(const stub_identity& id) {
    std::string out = "stub identity:\n";
    if (!id.problem.empty()) return out + "  " + id.problem + "\n";
    out += "  maker name (2001)    " + shown(id.maker_name) + "\n";
    out += "  product name (2002)  " + shown(id.product_name) + "\n";
    if (id.has_version) {
        out += "  file version         " + id.file_version + "\n";
        out += "  product version      " + id.product_version + "\n";
        for (const auto& [key, value] : id.version_strings) {
            char label[64];
            std::snprintf(label, sizeof label, "  %-20s ", key.c_str());
            out += label + shown(value) + "\n";
        }
    } else {
        out += "  version resource     (none)\n";
    }
    out += "  icon images          " + std::to_string(id.icon_images) + "\n";
    out += std::string("  signed               ") + (id.is_signed ? "yes" : "no") + "\n";
    return out;
}

std::string identity_json(const stub_identity& id) {
    nlohmann::ordered_json j;
    if (!id.problem.empty()) {
        j["problem"] = id.problem;
    } else {
        j["maker_name"] = id.maker_name ? nlohmann::ordered_json(*id.maker_name) : nullptr;
        j["product_name"] = id.product_name ? nlohmann::ordered_json(*id.product_name) : nullptr;
        if (id.has_version) {
            nlohmann::ordered_json version;
            version["file_version"] = id.file_version;
            version["product_version"] = id.product_version;
            nlohmann::ordered_json strings = nlohmann::ordered_json::object();
            for (const auto& [key, value] : id.version_strings) strings[key] = value;
            version["strings"] = strings;
            j["version"] = version;
        } else {
            j["version"] = nullptr;
        }
        j["icon_images"] = id.icon_images;
    }
    j["signed"] = id.is_signed;
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace trevan::pack
