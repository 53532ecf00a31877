#include "tools/pack/branding.h"

#include <algorithm>
#include <cstdio>

#include "tools/pack/host.h"
#include "tools/pack/stdio_file.h"

#include "tools/pe/icon_file.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"
#include "tools/pe/string_table.h"
#include "tools/pe/text16.h"
#include "tools/pe/version_info.h"

namespace trevan::pack {
namespace {

using namespace trevan::pe;

// The ids of the two names the program reads; one string table block holds
// both.
constexpr std::uint16_t maker_name_id = 2001;
constexpr std::uint16_t product_name_id = 2002;
// Resources made new take this language when the stub has none to copy.
constexpr std::uint16_t default_language = 0x0409;
// VS_FIXEDFILEINFO's flags for a PrivateBuild and a SpecialBuild string.
constexpr std::uint32_t vs_ff_privatebuild = 0x08;
constexpr std::uint32_t vs_ff_specialbuild = 0x20;
// Icon files of a real product are a few hundred KiB; this keeps a wrong
// file from being read whole.
constexpr std::uintmax_t max_icon_file = 16u << 20;

// The PE library's errors name what they read: here they are the tool's
// bad input.
template <typename F>
auto as_tool_error(F&& f) {
    try {
        return f();
    } catch (const pe_error& e) {
        throw tool_error(e.what());
    }
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string known_fields_text() {
    std::string out;
    for (const std::string& field : version_fields()) out += (out.empty() ? "" : ", ") + field;
    return out;
}

std::u16string utf16_of(const std::string& what, const std::string& text) {
    std::optional<std::u16string> units = utf8_to_utf16(text);
    if (!units) throw tool_error(what + " is not valid UTF-8");
    return *units;
}

std::u16string checked_name(const std::string& what, const std::string& text) {
    std::u16string name = utf16_of(what, text);
    if (name.empty()) throw tool_error(what + " is empty");
    if (name.size() > max_name_length)
        throw tool_error(what + " has " + std::to_string(name.size()) + " characters, more than the " +
                             std::to_string(max_name_length) + " that the program reads");
    for (char16_t c : name)
        if (c < 0x20 || c == 0x7F) throw tool_error(what + " holds a control character");
    return name;
}

std::string read_icon(const std::string& path) {
    const stdio_file in(open_file(path, "rb"));
    if (!in) throw tool_error("cannot read icon " + quoted(path));
    // One byte more than an icon file may hold tells a larger file.
    std::string bytes(static_cast<std::size_t>(max_icon_file) + 1, '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), in.get()));
    if (std::ferror(in.get())) throw tool_error("cannot read icon " + quoted(path));
    if (bytes.size() > max_icon_file)
        throw tool_error("icon " + quoted(path) + " is not an icon file (larger than 16 MiB)");
    return bytes;
}

// The branding's texts checked and in UTF-16, the icon read.
struct prepared {
    std::optional<std::u16string> maker, product;
    std::map<std::u16string, std::u16string> fields;
    std::optional<version_number> file_version, product_version;
    std::vector<icon_image> icons;
    std::vector<packed_ui_language> ui_texts;
};

prepared prepare(const branding& b) {
    prepared p;
    if (b.maker_name) p.maker = checked_name("the maker name (string 2001)", *b.maker_name);
    if (b.product_name) p.product = checked_name("the product name (string 2002)", *b.product_name);
    const std::vector<std::string>& known = version_fields();
    for (const auto& [field, text] : b.version_info) {
        if (std::find(known.begin(), known.end(), field) == known.end())
            throw tool_error("unknown version-info field " + quoted(field) + " (known: " + known_fields_text() + ")");
        if (field == "FileVersion" || field == "ProductVersion") {
            auto number = parse_version_number(text);
            if (!number)
                throw tool_error("version-info " + field + " " + quoted(text) +
                                     " is not four numbers below 65536 (such as 2.1.0.7)");
            (field == "FileVersion" ? p.file_version : p.product_version) = number;
        }
        p.fields[utf16_of("version-info " + field, field)] = utf16_of("version-info " + field, text);
    }
    if (p.maker && !b.version_info.count("CompanyName")) p.fields[u"CompanyName"] = *p.maker;
    if (p.product && !b.version_info.count("ProductName")) p.fields[u"ProductName"] = *p.product;
    if (!b.icon.empty()) p.icons = read_icon_file(read_icon(b.icon), "icon " + quoted(b.icon));
    p.ui_texts = packed_ui_languages(b.ui_texts);
    return p;
}

std::uint16_t first_language(const resource_tree& tree, std::uint16_t type) {
    auto t = tree.find(resource_id::of(type));
    if (t == tree.end() || t->second.empty() || t->second.begin()->second.empty()) return 0;
    return t->second.begin()->second.begin()->first;
}

// The stub's own language for resources it gets anew.
std::uint16_t stub_language(const resource_tree& tree) {
    for (std::uint16_t type : {rt_string, rt_version, rt_manifest})
        if (std::uint16_t language = first_language(tree, type)) return language;
    return default_language;
}

void brand_names(resource_tree& tree, const prepared& p, std::uint16_t language) {
    if (!p.maker && !p.product) return;
    resource_languages& block = tree[resource_id::of(rt_string)][resource_id::of(string_block_of(maker_name_id))];
    if (block.empty()) block[language] = {};
    // Every language of the block, so that the program reads the new names
    // whichever the system picks.
    for (auto& [lang, data] : block) {
        std::vector<std::u16string> strings = read_string_block(data.bytes);
        if (p.maker) strings[string_index_of(maker_name_id)] = *p.maker;
        if (p.product) strings[string_index_of(product_name_id)] = *p.product;
        data.bytes = write_string_block(strings);
    }
}

void brand_version(resource_tree& tree, const prepared& p, std::uint16_t language) {
    if (p.fields.empty()) return;
    resource_names& versions = tree[resource_id::of(rt_version)];
    version_info info;
    std::uint32_t codepage = 0;
    if (!versions.empty() && !versions.begin()->second.empty()) {
        const auto& [lang, data] = *versions.begin()->second.begin();
        language = lang;
        codepage = data.codepage;
        if (auto parsed = parse_version_resource(data.bytes)) info = *parsed;
    }
    if (p.file_version) info.file_version = *p.file_version;
    if (p.product_version) info.product_version = *p.product_version;
    for (const auto& [field, text] : p.fields) info.set(field, text);
    // The fixed flags say whether these two strings are there.
    for (const auto& [field, flag] : {std::pair{u"PrivateBuild", vs_ff_privatebuild},
                                      std::pair{u"SpecialBuild", vs_ff_specialbuild}}) {
        const std::u16string* text = info.find(field);
        info.file_flags = text && !text->empty() ? info.file_flags | flag : info.file_flags & ~flag;
    }
    const std::string data = build_version_resource(info);
    versions.clear();
    versions[resource_id::of(1)][language] = {data, codepage};
}

void brand_icon(resource_tree& tree, const prepared& p, std::uint16_t language) {
    if (p.icons.empty()) return;
    // The old images belong to the old groups: both go.
    tree.erase(resource_id::of(rt_icon));
    tree.erase(resource_id::of(rt_group_icon));
    resource_names& icons = tree[resource_id::of(rt_icon)];
    for (std::size_t i = 0; i < p.icons.size(); ++i)
        icons[resource_id::of(static_cast<std::uint16_t>(i + 1))][language] = {p.icons[i].data, 0};
    tree[resource_id::of(rt_group_icon)][resource_id::of(1)][language] = {group_icon_resource(p.icons, 1), 0};
}

}  // namespace

const std::vector<std::string>& version_fields() {
    static const std::vector<std::string> fields = {
        "FileVersion",      "ProductVersion", "CompanyName", "ProductName",     "FileDescription", "LegalCopyright",
        "OriginalFilename", "InternalName",   "Comments",    "LegalTrademarks", "PrivateBuild",    "SpecialBuild"};
    return fields;
}

void check_branding(const branding& b) {
    as_tool_error([&] { prepare(b); });
}

std::string apply_branding(const std::string& image_bytes, const branding& b, const std::string& what) {
    return as_tool_error([&] {
        prepared p = prepare(b);
        pe_image image(image_bytes, what);
        resource_tree tree = read_resources(image, what);
        const std::uint16_t language = stub_language(tree);
        brand_names(tree, p, language);
        brand_version(tree, p, language);
        brand_icon(tree, p, language);
        write_ui_texts(tree, p.ui_texts);
        image.replace_resources([&](std::uint32_t rva) { return write_resources(tree, rva); });
        return image.bytes();
    });
}

}  // namespace trevan::pack
