#include "tools/pack/resource_tree.h"

#include <vector>

#include "tools/pack/byte_fields.h"
#include "tools/pack/text16.h"

namespace trevan::pack {
namespace {

constexpr std::uint32_t subdirectory_bit = 0x80000000u;
// A bound on the entries of a directory read, so that entries pointing back
// at shared directories cannot multiply the work.
constexpr std::size_t max_entries = 65536;

class reader {
public:
    reader(const pe_image& image, const std::string& what) : image_(image), what_(what) {
        pe_directory dir = image.directory(resource_directory);
        if (dir.rva == 0 || dir.size == 0) throw branding_error(what + " has no resource directory");
        auto extent = image.raw_extent(dir.rva);
        if (!extent) throw damaged();
        begin_ = extent->first;
        end_ = extent->second;
    }

    resource_tree read() {
        resource_tree tree;
        for (const auto& [type, type_field] : entries(0))
            for (const auto& [name, name_field] : entries(subdirectory(type_field)))
                for (const auto& [language, data_field] : entries(subdirectory(name_field))) {
                    if (language.named) throw damaged();
                    tree[type][name][language.number] = data(data_field);
                }
        return tree;
    }

private:
    branding_error damaged() const { return branding_error(what_ + " has a damaged resource directory"); }

    bool fits(std::size_t offset, std::size_t size) const {
        return offset <= end_ - begin_ && end_ - begin_ - offset >= size;
    }

    // Types and names point at directories, languages at data entries.
    std::size_t subdirectory(std::uint32_t field) const {
        if (!(field & subdirectory_bit)) throw damaged();
        return field & ~subdirectory_bit;
    }

    // The entries of the directory at offset (relative to the directory's
    // start): the id and the field that points at the next level.
    std::vector<std::pair<resource_id, std::uint32_t>> entries(std::size_t offset) {
        const std::string& b = image_.bytes();
        if (!fits(offset, 16)) throw damaged();
        std::size_t count = read16(b, begin_ + offset + 12) + read16(b, begin_ + offset + 14);
        if (!fits(offset + 16, count * 8) || (seen_ += count) > max_entries) throw damaged();
        std::vector<std::pair<resource_id, std::uint32_t>> out;
        for (std::size_t i = 0; i < count; ++i) {
            std::size_t at = begin_ + offset + 16 + i * 8;
            std::uint32_t name = read32(b, at), target = read32(b, at + 4);
            resource_id id;
            if (name & subdirectory_bit) {
                std::size_t name_at = name & ~subdirectory_bit;
                if (!fits(name_at, 2)) throw damaged();
                std::size_t length = read16(b, begin_ + name_at);
                if (!fits(name_at + 2, length * 2)) throw damaged();
                id.named = true;
                id.name = utf16_from_bytes(b.data() + begin_ + name_at + 2, length * 2);
            } else {
                if (name > 0xFFFF) throw damaged();
                id.number = static_cast<std::uint16_t>(name);
            }
            out.emplace_back(std::move(id), target);
        }
        return out;
    }

    resource_data data(std::uint32_t entry_field) {
        if (entry_field & subdirectory_bit) throw damaged();
        const std::string& b = image_.bytes();
        if (!fits(entry_field, 16)) throw damaged();
        std::uint32_t rva = read32(b, begin_ + entry_field), size = read32(b, begin_ + entry_field + 4);
        auto offset = image_.offset_of(rva, size);
        if (!offset) throw damaged();
        return {b.substr(*offset, size), read32(b, begin_ + entry_field + 8)};
    }

    const pe_image& image_;
    const std::string& what_;
    std::size_t begin_ = 0, end_ = 0;
    std::size_t seen_ = 0;
};

std::size_t align8(std::size_t n) { return (n + 7) & ~std::size_t(7); }

}  // namespace

resource_tree read_resources(const pe_image& image, const std::string& what) { return reader(image, what).read(); }

std::string write_resources(const resource_tree& tree, std::uint32_t rva) {
    auto table_size = [](std::size_t entries) { return 16 + 8 * entries; };
    // First pass: where every table, data entry, name and blob goes.
    std::size_t tables = table_size(tree.size());
    std::size_t leaves = 0;
    for (const auto& [type, names] : tree) {
        tables += table_size(names.size());
        for (const auto& [name, languages] : names) {
            tables += table_size(languages.size());
            leaves += languages.size();
        }
    }
    std::size_t strings_at = tables + 16 * leaves;
    std::size_t strings = 0;
    auto count_name = [&](const resource_id& id) {
        if (id.named) strings += 2 + 2 * id.name.size();
    };
    for (const auto& [type, names] : tree) {
        count_name(type);
        for (const auto& [name, languages] : names) count_name(name);
    }
    std::size_t blobs_at = align8(strings_at + strings);
    std::size_t size = blobs_at;
    for (const auto& [type, names] : tree)
        for (const auto& [name, languages] : names)
            for (const auto& [language, data] : languages) size = align8(size + data.bytes.size());

    std::string out(size, '\0');
    std::size_t next_table = 0, next_leaf = tables, next_string = strings_at, next_blob = blobs_at;
    auto id_field = [&](const resource_id& id) -> std::uint32_t {
        if (!id.named) return id.number;
        std::size_t at = next_string;
        write16(out, at, static_cast<std::uint32_t>(id.name.size()));
        out.replace(at + 2, 2 * id.name.size(), utf16_bytes(id.name));
        next_string += 2 + 2 * id.name.size();
        return subdirectory_bit | static_cast<std::uint32_t>(at);
    };
    // A table header; the entries follow it.
    auto table = [&](std::size_t named, std::size_t numbered) {
        std::size_t at = next_table;
        write16(out, at + 12, static_cast<std::uint32_t>(named));
        write16(out, at + 14, static_cast<std::uint32_t>(numbered));
        next_table += table_size(named + numbered);
        return at + 16;
    };
    auto counts = [](const auto& map) {
        std::size_t named = 0;
        for (const auto& entry : map) named += entry.first.named ? 1 : 0;
        return std::make_pair(named, map.size() - named);
    };

    auto [named_types, numbered_types] = counts(tree);
    std::size_t type_entry = table(named_types, numbered_types);
    for (const auto& [type, names] : tree) {
        write32(out, type_entry, id_field(type));
        write32(out, type_entry + 4, subdirectory_bit | static_cast<std::uint32_t>(next_table));
        type_entry += 8;
        auto [named_names, numbered_names] = counts(names);
        std::size_t name_entry = table(named_names, numbered_names);
        for (const auto& [name, languages] : names) {
            write32(out, name_entry, id_field(name));
            write32(out, name_entry + 4, subdirectory_bit | static_cast<std::uint32_t>(next_table));
            name_entry += 8;
            std::size_t language_entry = table(0, languages.size());
            for (const auto& [language, data] : languages) {
                write32(out, language_entry, language);
                write32(out, language_entry + 4, static_cast<std::uint32_t>(next_leaf));
                language_entry += 8;
                write32(out, next_leaf, rva + static_cast<std::uint32_t>(next_blob));
                write32(out, next_leaf + 4, static_cast<std::uint32_t>(data.bytes.size()));
                write32(out, next_leaf + 8, data.codepage);
                next_leaf += 16;
                out.replace(next_blob, data.bytes.size(), data.bytes);
                next_blob = align8(next_blob + data.bytes.size());
            }
        }
    }
    return out;
}

}  // namespace trevan::pack
