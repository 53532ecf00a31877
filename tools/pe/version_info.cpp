#include "tools/pe/version_info.h"

#include "support/core/little_endian.h"
#include "tools/pe/pe_error.h"
#include "tools/pe/text16.h"

namespace trevan::pe {
namespace {

using vennic::append_le16;
using vennic::append_le32;
using vennic::le_view;

constexpr std::uint32_t fixed_signature = 0xFEEF04BD;
constexpr std::size_t fixed_size = 52;

void pad4(std::string& out) { out.resize((out.size() + 3) & ~std::size_t(3), '\0'); }

// One block: length, value length, type, key, the value, the children, each
// starting on a 4-byte boundary of the resource. The length counts the
// block from its first byte to the end of its last child.
class block {
public:
    block(std::string& out, const std::u16string& key, std::uint32_t value_length, bool text)
        : out_(out), start_(out.size()) {
        append_le16(out_, 0);
        append_le16(out_, static_cast<std::uint16_t>(value_length));
        append_le16(out_, text ? 1 : 0);
        out_ += utf16_bytes(key);
        append_le16(out_, 0);
        pad4(out_);
    }
    ~block() { vennic::put_le16(out_, start_, static_cast<std::uint16_t>(out_.size() - start_)); }
    block(const block&) = delete;
    block& operator=(const block&) = delete;
    void child() { pad4(out_); }

private:
    std::string& out_;
    std::size_t start_;
};

struct node {
    std::u16string key;
    std::uint32_t value_length = 0;
    std::size_t value_at = 0;  // first byte of the value
    std::size_t children_at = 0;
    std::size_t end = 0;
};

// The block at `at`, whose parent ends at `limit`; nothing when damaged.
std::optional<node> read_node(const le_view& b, std::size_t at, std::size_t limit, bool text_value) {
    // Only the parent's bytes count.
    const std::optional<le_view> parent = b.part(0, limit);
    if (!parent) return std::nullopt;
    const std::optional<std::uint16_t> length = parent->u16(at), value_length = parent->u16(at + 2);
    if (!length || !value_length || *length < 6 || !parent->holds(at, *length)) return std::nullopt;
    node n;
    n.end = at + *length;
    n.value_length = *value_length;
    const le_view block = *parent->part(0, n.end);
    std::size_t p = at + 6;
    for (;;) {
        const std::optional<std::uint16_t> c = block.u16(p);
        if (!c) return std::nullopt;
        p += 2;
        if (*c == 0) break;
        n.key += static_cast<char16_t>(*c);
    }
    p = (p + 3) & ~std::size_t(3);
    n.value_at = p;
    std::size_t value_bytes = text_value ? 2 * std::size_t(n.value_length) : n.value_length;
    // Some writers count the text's bytes instead of its characters: never
    // reach beyond the block.
    if (value_bytes > n.end - std::min(n.end, p)) value_bytes = n.end - std::min(n.end, p);
    n.children_at = (p + value_bytes + 3) & ~std::size_t(3);
    return n;
}

// The children of a block, in order.
template <typename F>
bool for_children(const le_view& b, const node& parent, bool text_values, F&& f) {
    std::size_t at = parent.children_at;
    while (at + 6 <= parent.end) {
        auto child = read_node(b, at, parent.end, text_values);
        if (!child) return false;
        f(*child);
        at = (child->end + 3) & ~std::size_t(3);
    }
    return true;
}

}  // namespace

std::string version_number::text() const {
    return std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]) + "." +
           std::to_string(parts[3]);
}

std::optional<version_number> parse_version_number(const std::string& text) {
    version_number v;
    std::size_t at = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        std::size_t digits = 0;
        std::uint32_t n = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 6) {
            n = n * 10 + static_cast<std::uint32_t>(text[at] - '0');
            ++at, ++digits;
        }
        if (digits == 0 || n > 0xFFFF) return std::nullopt;
        v.parts[i] = static_cast<std::uint16_t>(n);
        if (i < 3) {
            if (at >= text.size() || text[at] != '.') return std::nullopt;
            ++at;
        }
    }
    if (at != text.size()) return std::nullopt;
    return v;
}

void version_info::set(const std::u16string& key, const std::u16string& value) {
    for (auto& [k, v] : strings)
        if (k == key) {
            v = value;
            return;
        }
    strings.emplace_back(key, value);
}

const std::u16string* version_info::find(const std::u16string& key) const {
    for (const auto& [k, v] : strings)
        if (k == key) return &v;
    return nullptr;
}

std::string build_version_resource(const version_info& info) {
    std::string out;
    {
        block root(out, u"VS_VERSION_INFO", fixed_size, false);
        append_le32(out, fixed_signature);
        append_le32(out, 0x00010000);
        append_le32(out, info.file_version.high());
        append_le32(out, info.file_version.low());
        append_le32(out, info.product_version.high());
        append_le32(out, info.product_version.low());
        append_le32(out, info.file_flags_mask);
        append_le32(out, info.file_flags);
        append_le32(out, info.file_os);
        append_le32(out, info.file_type);
        append_le32(out, info.file_subtype);
        append_le32(out, info.file_date_high);
        append_le32(out, info.file_date_low);
        root.child();
        {
            block file_info(out, u"StringFileInfo", 0, true);
            file_info.child();
            block table(out, info.table_key, 0, true);
            for (const auto& [key, value] : info.strings) {
                table.child();
                // The value length counts characters with the closing zero.
                block text(out, key, static_cast<std::uint32_t>(value.size() + 1), true);
                out += utf16_bytes(value);
                append_le16(out, 0);
            }
        }
        if (!info.translations.empty()) {
            root.child();
            block var_info(out, u"VarFileInfo", 0, true);
            var_info.child();
            block translation(out, u"Translation", static_cast<std::uint32_t>(4 * info.translations.size()), false);
            for (std::uint32_t t : info.translations) append_le32(out, t);
        }
        if (out.size() > 0xFFFF) throw pe_error("the version texts are too long for a version resource");
    }
    return out;
}

std::optional<version_info> parse_version_resource(const std::string& bytes) {
    const le_view data(bytes);
    auto root = read_node(data, 0, data.size(), false);
    if (!root || root->key != u"VS_VERSION_INFO" || root->value_length < fixed_size) return std::nullopt;
    const std::optional<le_view> fixed = data.part(root->value_at, fixed_size);
    if (!fixed || root->value_at + fixed_size > root->end || fixed->u32(0) != fixed_signature) return std::nullopt;
    version_info info;
    auto field = [&](std::size_t at) { return *fixed->u32(at); };
    auto number = [&](std::size_t at) {
        version_number v;
        const std::uint32_t high = field(at), low = field(at + 4);
        v.parts = {static_cast<std::uint16_t>(high >> 16), static_cast<std::uint16_t>(high),
                   static_cast<std::uint16_t>(low >> 16), static_cast<std::uint16_t>(low)};
        return v;
    };
    info.file_version = number(8);
    info.product_version = number(16);
    info.file_flags_mask = field(24);
    info.file_flags = field(28);
    info.file_os = field(32);
    info.file_type = field(36);
    info.file_subtype = field(40);
    info.file_date_high = field(44);
    info.file_date_low = field(48);
    info.translations.clear();

    bool table_read = false, ok = true;
    ok = for_children(data, *root, true, [&](const node& child) {
        if (child.key == u"StringFileInfo") {
            ok = for_children(data, child, true, [&](const node& table) {
                if (table_read) return;
                table_read = true;
                info.table_key = table.key;
                ok = for_children(data, table, true, [&](const node& text) {
                    std::size_t bytes = std::min<std::size_t>(2 * std::size_t(text.value_length),
                                                              text.end - std::min(text.end, text.value_at));
                    std::u16string value =
                        utf16_from_bytes(reinterpret_cast<const char*>(data.data()) + text.value_at, bytes);
                    value.resize(std::min(value.find(u'\0'), value.size()));
                    info.strings.emplace_back(text.key, value);
                }) && ok;
            }) && ok;
        } else if (child.key == u"VarFileInfo") {
            ok = for_children(data, child, false, [&](const node& var) {
                if (var.key != u"Translation") return;
                std::size_t end = std::min<std::size_t>(var.value_at + var.value_length, var.end);
                for (std::size_t at = var.value_at; at + 4 <= end; at += 4) info.translations.push_back(*data.u32(at));
            }) && ok;
        }
    }) && ok;
    if (!ok) return std::nullopt;
    return info;
}

}  // namespace trevan::pe
