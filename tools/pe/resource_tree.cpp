#include "tools/pe/resource_tree.h"

#include <vector>

#include "support/core/little_endian.h"
#include "tools/pe/text16.h"

namespace trevan::pe {
namespace {

using vennic::put_le16;
using vennic::put_le32;

constexpr std::uint32_t subdirectory_bit = 0x80000000u;
// A bound on the entries of a directory read, so that entries pointing back
// at shared directories cannot multiply the work.
constexpr std::size_t max_entries = 65536;
// Entries may share a name or a data entry, so copies of them are counted:
// all the names and data read take at most as many bytes as the image holds.

class reader {
public:
    reader(const pe_image& image, const std::string& what)
        : image_(image), what_(what), budget_(image.bytes().size()) {
        pe_directory dir = image.directory(resource_directory);
        if (dir.address == 0 || dir.size == 0) throw pe_error(what + " has no resource directory");
        auto extent = image.raw_extent(dir.address);
        if (!extent) throw damaged();
        // Offsets in the directory count from its start.
        section_ = vennic::le_view(image.bytes().data() + extent->first, extent->second - extent->first);
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
    pe_error damaged() const { return pe_error(what_ + " has a damaged resource directory"); }

    std::uint16_t u16(std::size_t at) const {
        if (auto v = section_.u16(at)) return *v;
        throw damaged();
    }
    std::uint32_t u32(std::size_t at) const {
        if (auto v = section_.u32(at)) return *v;
        throw damaged();
    }

    // Counts bytes about to be copied out of the image against the budget.
    void take(std::size_t bytes) {
        if (bytes > budget_) throw damaged();
        budget_ -= bytes;
    }

    // Types and names point at directories, languages at data entries.
    std::size_t subdirectory(std::uint32_t field) const {
        if (!(field & subdirectory_bit)) throw damaged();
        return field & ~subdirectory_bit;
    }

    // The entries of the directory at offset: the id and the field that
    // points at the next level.
    std::vector<std::pair<resource_id, std::uint32_t>> entries(std::size_t offset) {
        const std::size_t count = std::size_t(u16(offset + 12)) + u16(offset + 14);
        if (!section_.holds(offset + 16, count * 8) || (seen_ += count) > max_entries) throw damaged();
        std::vector<std::pair<resource_id, std::uint32_t>> out;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t at = offset + 16 + i * 8;
            const std::uint32_t name = u32(at), target = u32(at + 4);
            resource_id id;
            if (name & subdirectory_bit) {
                const std::size_t name_at = name & ~subdirectory_bit;
                const std::size_t length = u16(name_at);
                std::optional<vennic::le_view> units = section_.part(name_at + 2, length * 2);
                if (!units) throw damaged();
                take(units->size());
                id.named = true;
                id.name = utf16_from_bytes(reinterpret_cast<const char*>(units->data()), units->size());
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
        if (!section_.holds(entry_field, 16)) throw damaged();
        const std::uint32_t rva = u32(entry_field), size = u32(entry_field + 4), codepage = u32(entry_field + 8);
        auto offset = image_.offset_of(rva, size);
        if (!offset) throw damaged();
        take(size);
        return {image_.bytes().substr(*offset, size), codepage};
    }

    const pe_image& image_;
    const std::string& what_;
    vennic::le_view section_;
    std::size_t seen_ = 0;
    std::size_t budget_;
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
        put_le16(out, at, static_cast<std::uint16_t>(id.name.size()));
        out.replace(at + 2, 2 * id.name.size(), utf16_bytes(id.name));
        next_string += 2 + 2 * id.name.size();
        return subdirectory_bit | static_cast<std::uint32_t>(at);
    };
    // A table header; the entries follow it.
    auto table = [&](std::size_t named, std::size_t numbered) {
        std::size_t at = next_table;
        put_le16(out, at + 12, static_cast<std::uint16_t>(named));
        put_le16(out, at + 14, static_cast<std::uint16_t>(numbered));
        next_table += table_size(named + numbered);
        return at + 16;
    };
    auto counts = [](const auto& map) {
        std::size_t named = 0;
        for (const auto& entry : map) named += entry.first.named ? 1 : 0;
        return std::make_pair(named, map.size() - named);
    };

    // The entry at `at` for id, pointing at the table written next for the
    // named and numbered entries below it; returns where those go.
    auto subdirectory_entry = [&](std::size_t at, const resource_id& id, std::pair<std::size_t, std::size_t> below) {
        put_le32(out, at, id_field(id));
        put_le32(out, at + 4, subdirectory_bit | static_cast<std::uint32_t>(next_table));
        return table(below.first, below.second);
    };

    auto [named_types, numbered_types] = counts(tree);
    std::size_t type_entry = table(named_types, numbered_types);
    for (const auto& [type, names] : tree) {
        std::size_t name_entry = subdirectory_entry(type_entry, type, counts(names));
        type_entry += 8;
        for (const auto& [name, languages] : names) {
            std::size_t language_entry = subdirectory_entry(name_entry, name, {0, languages.size()});
            name_entry += 8;
            for (const auto& [language, data] : languages) {
                put_le32(out, language_entry, language);
                put_le32(out, language_entry + 4, static_cast<std::uint32_t>(next_leaf));
                language_entry += 8;
                put_le32(out, next_leaf, rva + static_cast<std::uint32_t>(next_blob));
                put_le32(out, next_leaf + 4, static_cast<std::uint32_t>(data.bytes.size()));
                put_le32(out, next_leaf + 8, data.codepage);
                next_leaf += 16;
                out.replace(next_blob, data.bytes.size(), data.bytes);
                next_blob = align8(next_blob + data.bytes.size());
            }
        }
    }
    return out;
}

}  // namespace trevan::pe
