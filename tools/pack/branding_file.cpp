#include "tools/pack/branding_file.h"

#include <filesystem>

#include "tools/pack/host.h"
#include "tools/pack/json_file.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

std::string text_member(const json& object, const std::string& key, const std::string& where) {
    const json& value = object.at(key);
    if (!value.is_string()) throw tool_error(where + ": \"" + key + "\" must be a string");
    return value.get<std::string>();
}

}  // namespace

branding parse_branding(const std::string& text, const std::string& folder, const std::string& what) {
    const json root = parse_json_object(text, what);
    branding b;
    for (const auto& [key, value] : root.items()) {
        if (key == "icon") {
            fs::path icon = native_path(text_member(root, key, what));
            if (icon.empty()) throw tool_error(what + ": \"icon\" is empty");
            b.icon = (icon.is_relative() ? native_path(folder) / icon : icon).string();
        } else if (key == "maker_name") {
            b.maker_name = text_member(root, key, what);
        } else if (key == "product_name") {
            b.product_name = text_member(root, key, what);
        } else if (key == "version_info") {
            if (!value.is_object()) throw tool_error(what + ": \"version_info\" must be an object");
            for (const auto& [field, field_value] : value.items()) {
                (void)field_value;
                b.version_info[field] = text_member(value, field, what + ": version_info");
            }
        } else {
            throw tool_error(what + ": unknown member \"" + key +
                                 "\" (known: icon, maker_name, product_name, version_info)");
        }
    }
    return b;
}

branding read_branding_file(const std::string& path) {
    const std::string what = "branding file \"" + path + "\"";
    return parse_branding(read_json_file(path, what), folder_of(path), what);
}

}  // namespace trevan::pack
