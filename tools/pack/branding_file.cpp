#include "tools/pack/branding_file.h"

#include <filesystem>

#include "tools/pack/host.h"
#include "tools/pack/json_file.h"
#include "tools/pack/ui_packing.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

std::string text_member(const json& object, const std::string& key, const std::string& where) {
    const json& value = object.at(key);
    if (!value.is_string()) throw tool_error(where + ": \"" + key + "\" must be a string");
    return value.get<std::string>();
}

// LCID to key to text; the keys and texts are checked when the texts are
// packed (ui_packing.h), like every other value.
ui_text_overrides text_overrides(const json& value, const std::string& what) {
    if (!value.is_object()) throw tool_error(what + ": \"texts\" must be an object of LCIDs and their texts");
    ui_text_overrides overrides;
    for (const auto& [lcid, texts] : value.items()) {
        const std::string where = what + ": texts: " + lcid;
        const std::uint16_t language = table_language(lcid, what + ": texts");
        if (!texts.is_object()) throw tool_error(where + " must be an object of keys and texts");
        for (const auto& [key, text] : texts.items()) {
            (void)text;
            overrides[language][key] = text_member(texts, key, where);
        }
    }
    return overrides;
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
        } else if (key == "texts") {
            b.ui_texts.overrides = text_overrides(value, what);
        } else {
            throw tool_error(what + ": unknown member \"" + key +
                                 "\" (known: icon, maker_name, product_name, version_info, texts)");
        }
    }
    return b;
}

branding read_branding_file(const std::string& path) {
    const std::string what = "branding file \"" + path + "\"";
    return parse_branding(read_json_file(path, what), folder_of(path), what);
}

}  // namespace trevan::pack
