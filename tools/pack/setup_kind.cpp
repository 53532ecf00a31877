#include "tools/pack/setup_kind.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "container/expand.h"
#include "container/file_reader.h"
#include "container/printable.h"
#include "support/core/little_endian.h"
#include "tools/pack/host.h"
#include "tools/pack/tool_error.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"

namespace trevan::pack {
namespace {

using pe::pe_image;

const unsigned char compound_file_signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// NSIS's first header: flags, then the signature 0xDEADBEEF and
// "NullsoftInst" (the three words FH_INT1..3), then two lengths.
const unsigned char nsis_signature[16] = {0xEF, 0xBE, 0xAD, 0xDE, 'N', 'u', 'l', 'l',
                                          's',  'o',  'f',  't',  'I', 'n', 's', 't'};
constexpr std::uint32_t nsis_header_size = 28;
constexpr std::uint32_t nsis_block = 512;
constexpr std::uint32_t nsis_flags_mask = 15;
// The loader reads its file in 512-byte blocks from the start and takes the
// first block that begins with the header; makensis puts it right behind
// the loader's image. Blocks this far behind the image are looked at too.
constexpr std::uint32_t nsis_search_behind_image = 64u << 10;

// Inno Setup's setup loader: the offset table's ID begins with these bytes
// in every version; the table lives in RCDATA resource 11111 or, in older
// loaders, where the header at offset 0x30 points.
const char inno_table_id[] = "rDlPtS";
constexpr std::uint32_t inno_id_size = 6;
constexpr std::uint16_t rt_rcdata = 10;
constexpr std::uint16_t inno_table_resource = 11111;
constexpr std::uint32_t inno_header_at = 0x30;
const char inno_header_id[] = "Inno";

// The data of a Burn bundle's ".wixburn" section begins with this magic.
const char burn_section[] = ".wixburn";
constexpr std::uint32_t burn_magic = 0x00F14300;

// Enough for the headers and the section table of any image worth reading.
constexpr std::uint32_t header_read = 64u << 10;
// Installers' loaders are small; an image claiming more is not read whole.
constexpr std::uint32_t max_image_read = 64u << 20;

std::string hex(std::uint64_t n) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(n));
    return text;
}

std::optional<std::string> read_bytes(offset_reader& file, std::uint64_t at, std::uint32_t size) {
    std::string bytes(size, '\0');
    if (!file.read_at(at, bytes.data(), size)) return std::nullopt;
    return bytes;
}

detected_kind found(setup_kind kind, std::string evidence) { return {kind, std::move(evidence)}; }

std::optional<detected_kind> nsis_header(offset_reader& file, const pe_image& head) {
    const std::uint64_t limit = std::min<std::uint64_t>(head.image_end() + nsis_search_behind_image, file.size());
    for (std::uint64_t at = 0; at + nsis_header_size <= limit; at += nsis_block) {
        unsigned char h[nsis_header_size];
        if (!file.read_at(at, h, sizeof h)) return std::nullopt;
        if (std::memcmp(h + 4, nsis_signature, sizeof nsis_signature) == 0 &&
            (vennic::load_le32(h) & ~nsis_flags_mask) == 0)
            return found(setup_kind::nsis, "NSIS first header at offset " + hex(at));
    }
    return std::nullopt;
}

std::optional<detected_kind> burn_section_of(offset_reader& file, const pe_image& head) {
    for (const pe::pe_section& s : head.sections()) {
        if (s.name != burn_section || s.raw_size < 4) continue;
        unsigned char magic[4];
        if (file.read_at(s.raw_offset, magic, sizeof magic) && vennic::load_le32(magic) == burn_magic)
            return found(setup_kind::burn, "Burn section \".wixburn\" at offset " + hex(s.raw_offset));
    }
    return std::nullopt;
}

bool begins_with_inno_id(const std::string& bytes) { return bytes.compare(0, inno_id_size, inno_table_id) == 0; }

// Older loaders: "Inno", the table's offset and its complement at 0x30.
std::optional<detected_kind> inno_loader_header(offset_reader& file) {
    const std::optional<std::string> h = read_bytes(file, inno_header_at, 12);
    if (!h || h->compare(0, 4, inno_header_id) != 0) return std::nullopt;
    const auto* p = reinterpret_cast<const unsigned char*>(h->data());
    const std::uint32_t table = vennic::load_le32(p + 4);
    if (table != ~vennic::load_le32(p + 8)) return std::nullopt;
    const std::optional<std::string> id = read_bytes(file, table, inno_id_size);
    if (!id || !begins_with_inno_id(*id)) return std::nullopt;
    return found(setup_kind::inno, "Inno Setup loader table at offset " + hex(table));
}

// Later loaders: the table in a resource.
std::optional<detected_kind> inno_loader_resource(offset_reader& file, const pe_image& head) {
    if (head.directory(resource_directory).size == 0 || head.image_end() > max_image_read) return std::nullopt;
    std::optional<std::string> image =
        read_bytes(file, 0, static_cast<std::uint32_t>(std::min<std::uint64_t>(head.image_end(), file.size())));
    if (!image) return std::nullopt;
    const pe::resource_tree tree = pe::read_resources(pe_image(std::move(*image), "the file"), "the file");
    const auto type = tree.find(pe::resource_id::of(rt_rcdata));
    if (type == tree.end()) return std::nullopt;
    const auto name = type->second.find(pe::resource_id::of(inno_table_resource));
    if (name == type->second.end()) return std::nullopt;
    for (const auto& [language, data] : name->second)
        if (begins_with_inno_id(data.bytes)) return found(setup_kind::inno, "Inno Setup loader table in RCDATA resource 11111");
    return std::nullopt;
}

}  // namespace

detected_kind detect_setup_kind(const std::string& path) {
    file_reader reader(path);
    if (!reader.is_open()) throw tool_error("cannot read " + quoted_text(path) + ": " + open_error_text(reader.open_error()));
    const std::optional<std::uint32_t> size = reader.move_to_end();
    if (!size) return {};
    offset_reader file(reader, *size, *size);

    unsigned char start[sizeof compound_file_signature];
    if (file.read_at(0, start, sizeof start) && std::memcmp(start, compound_file_signature, sizeof start) == 0)
        return found(setup_kind::msi, "compound-file signature at offset 0");

    if (auto inno = inno_loader_header(file)) return *inno;
    try {
        std::optional<std::string> headers = read_bytes(file, 0, std::min(*size, header_read));
        if (!headers) return {};
        const pe_image head(std::move(*headers), "the file");
        if (auto burn = burn_section_of(file, head)) return *burn;
        if (auto nsis = nsis_header(file, head)) return *nsis;
        if (auto inno = inno_loader_resource(file, head)) return *inno;
    } catch (const pe::pe_error&) {
        // Not an executable, or a damaged one: of no kind.
    }
    return {};
}

std::optional<setup_kind> kind_of_option(const std::string& name) {
    if (name == "default") return setup_kind::none;
    std::optional<setup_kind> kind = kind_of_setting(name);
    if (kind == setup_kind::none) return std::nullopt;
    return kind;
}

std::optional<record> kind_record(const std::vector<record>& records, const std::optional<setup_kind>& chosen) {
    setup_kind kind = setup_kind::none;
    if (chosen) {
        kind = *chosen;
    } else {
        if (std::any_of(records.begin(), records.end(), [](const record& r) { return r.name == "kind"; }))
            return std::nullopt;
        // The setup programs are the file records the executable settings
        // name; a name that matches none is left to the checks.
        const SettingsMap settings = settings_of(records);
        std::optional<std::pair<std::string, detected_kind>> first;
        for (const char* setting : {"executable64", "executable32"}) {
            const auto it = settings.find(setting);
            if (it == settings.end()) continue;
            const std::string name = expand_references(it->second, settings).value_or("");
            auto file = std::find_if(records.rbegin(), records.rend(), [&](const record& r) {
                return r.type == record::kind::file && stored_name_of(r) == name;
            });
            if (file == records.rend()) continue;
            detected_kind detected = detect_setup_kind(file->source);
            if (!first) {
                first.emplace(name, detected);
            } else if (first->second.kind != detected.kind) {
                auto described = [](const std::string& n, setup_kind k) {
                    return quoted_text(n) + (k == setup_kind::none ? " is of no known kind" : " is " + std::string(kind_name(k)));
                };
                throw tool_error("kind: the setup programs are of different kinds (" +
                                 described(first->first, first->second.kind) + ", " + described(name, detected.kind) +
                                 "): choose one with --kind");
            }
        }
        if (first) kind = first->second.kind;
    }
    if (kind == setup_kind::none) return std::nullopt;
    return value_record("kind", kind_name(kind));
}

}  // namespace trevan::pack
