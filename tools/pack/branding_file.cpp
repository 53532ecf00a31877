#include "tools/pack/branding_file.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// A settings file is a few hundred bytes; a larger one is a wrong file.
constexpr std::uintmax_t max_file_size = 1u << 20;

std::string text_member(const json& object, const std::string& key, const std::string& where) {
    const json& value = object.at(key);
    if (!value.is_string()) throw tool_error(where + ": \"" + key + "\" must be a string");
    return value.get<std::string>();
}

}  // namespace

branding parse_branding(const std::string& text, const std::string& folder, const std::string& what) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        // The library's message names the position; keep it on one line.
        std::string message = e.what();
        std::string::size_type colon = message.find("parse error");
        throw tool_error(what + ": not JSON (" + (colon == std::string::npos ? message : message.substr(colon)) +
                             ")");
    }
    if (!root.is_object()) throw tool_error(what + ": expected a JSON object");
    branding b;
    for (const auto& [key, value] : root.items()) {
        if (key == "icon") {
            fs::path icon = fs::u8path(text_member(root, key, what));
            if (icon.empty()) throw tool_error(what + ": \"icon\" is empty");
            b.icon = (icon.is_relative() ? fs::path(folder) / icon : icon).string();
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
    std::error_code ec;
    std::uintmax_t size = fs::file_size(path, ec);
    if (ec) throw tool_error("cannot read " + what + ": " + ec.message());
    if (size > max_file_size) throw tool_error(what + " is larger than 1 MiB");
    std::ifstream in(path, std::ios::binary);
    std::string text(static_cast<std::size_t>(size), '\0');
    if (!in || !in.read(text.data(), static_cast<std::streamsize>(size))) throw tool_error("cannot read " + what);
    std::string folder = fs::path(path).parent_path().string();
    return parse_branding(text, folder.empty() ? "." : folder, what);
}

}  // namespace trevan::pack
