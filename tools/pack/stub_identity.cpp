#include "tools/pack/stub_identity.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>

#include "container/pe_header.h"
#include "tools/pack/host.h"
#include "tools/pack/shown_text.h"
#include "tools/pe/certificate_table.h"
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

// Reads the file's bytes from bytes.size() up to `to` onto the end of bytes.
bool read_more(offset_reader& file, std::string& bytes, std::size_t to) {
    const std::size_t from = bytes.size();
    bytes.resize(to);
    return file.read_at(from, bytes.data() + from, static_cast<std::uint32_t>(to - from));
}

// The signer named by the certificate table, when the table lies in the
// file behind the bytes read so far.
std::optional<std::string> signer_of(offset_reader& file, const pe_directory& table, std::size_t read_so_far) {
    if (table.address < read_so_far || std::uint64_t(table.address) + table.size > file.size()) return std::nullopt;
    std::string bytes(table.size, '\0');
    if (!file.read_at(table.address, bytes.data(), table.size)) return std::nullopt;
    return signer_subject(bytes);
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

std::string shown(const std::optional<std::string>& text) { return text ? quoted_utf8(*text) : "(none)"; }

std::string texts_line(const std::vector<carried_ui_language>& languages) {
    if (languages.empty()) return "none (English only)";
    std::string out;
    for (const carried_ui_language& language : languages) {
        out += (out.empty() ? "" : ", ") + ui_language_label(language.lcid);
        if (!language.problem.empty()) out += " (damaged: " + language.problem + ")";
    }
    return out;
}


// The names, version and icon from the image whose first bytes (the
// headers) are held; the rest of the image is read onto them. Problems end
// up in id.problem.
void read_resources_of(offset_reader& file, std::string& bytes, stub_identity& id) {
    try {
        const std::size_t image_end = std::min<std::size_t>(pe_image(bytes, "the stub").image_end(), file.size());
        if (image_end > max_image_read) {
            id.problem = "the image is larger than 256 MiB";
            return;
        }
        if (image_end > bytes.size() && !read_more(file, bytes, image_end)) {
            id.problem = "cannot be read";
            return;
        }
        const pe_image image(bytes.substr(0, image_end), "the stub");
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
        id.ui_languages = carried_ui_languages(tree);
    } catch (const pe_error& e) {
        id.problem = e.what();
    }
}

}  // namespace

stub_identity read_stub_identity(archive_reader& in) {
    stub_identity id;
    const std::optional<std::uint32_t> size = in.move_to_end();
    if (!size) {
        id.problem = "cannot be read (4 GiB or more)";
        return id;
    }
    offset_reader file(in, *size, *size);
    // The headers first, then the rest of the image, then the certificate
    // table behind it: never more than the file holds, whatever the
    // headers claim.
    std::string bytes;
    if (!read_more(file, bytes, std::min<std::size_t>(header_read, *size))) {
        id.problem = "cannot be read";
        return id;
    }
    memory_reader held(bytes);
    const pe_headers headers = read_pe_headers(held, static_cast<std::uint32_t>(bytes.size()));
    read_resources_of(file, bytes, id);
    if (headers.type == pe_headers::kind::pe && headers.is_signed()) {
        id.certificate_table = true;
        id.signer = signer_of(file, headers.directory(certificate_directory), bytes.size());
    }
    return id;
}

stub_identity read_stub_identity(const std::string& path) {
    input_file in(path);
    if (!in.is_open()) {
        stub_identity id;
        id.problem = "cannot be read";
        return id;
    }
    return read_stub_identity(in.reader());
}

std::string identity_text(const stub_identity& id) {
    std::string out = "stub identity:\n";
    if (!id.problem.empty()) {
        out += "  " + id.problem + "\n";
    } else {
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
        out += "  texts                " + texts_line(id.ui_languages) + "\n";
    }
    if (!id.certificate_table) return out + "  signature            none (no certificate table)\n";
    out += "  signature            certificate table present; not checked here (verify checks the container, "
           "osslsigncode verify or signtool verify the signature)\n";
    out += "  signer               " + (id.signer ? shown(id.signer) : std::string("(cannot be read)")) + "\n";
    return out;
}

nlohmann::ordered_json identity_json(const stub_identity& id) {
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
        nlohmann::ordered_json lcids = nlohmann::ordered_json::array();
        nlohmann::ordered_json damaged = nlohmann::ordered_json::array();
        for (const carried_ui_language& language : id.ui_languages) {
            lcids.push_back(language.lcid);
            if (!language.problem.empty()) damaged.push_back({{"lcid", language.lcid}, {"problem", language.problem}});
        }
        j["ui_languages"] = lcids;
        j["damaged_ui_languages"] = damaged;
    }
    j["certificate_table"] = id.certificate_table;
    j["signer"] = id.signer ? nlohmann::ordered_json(*id.signer) : nullptr;
    j["signature_checked"] = false;
    return j;
}

}  // namespace trevan::pack
