#include "tools/pack/ui_packing.h"

#include <algorithm>

#include "support/core/ui_text.h"
#include "tools/pack/tool_error.h"
#include "tools/pack/ui_texts.h"
#include "tools/pe/string_table.h"
#include "tools/pe/text16.h"

namespace trevan::pack {
namespace {

constexpr std::uint16_t lang_english = 0x09;

bool is_english(std::uint16_t lcid) { return (lcid & 0x3ff) == lang_english; }

std::string table_lcids() {
    std::string out;
    for (const ui_language& language : ui_languages()) out += (out.empty() ? "" : ", ") + std::to_string(language.lcid);
    return out;
}

std::u16string utf16_of(std::string_view text) {
    // The table's texts and the checked overrides are UTF-8.
    return pe::utf8_to_utf16(std::string(text)).value_or(std::u16string());
}

// The index of key in the texts' order.
std::size_t index_of(const std::string& key) {
    const std::vector<std::string_view>& keys = ui_text_keys();
    std::size_t i = 0;
    while (i < keys.size() && keys[i] != key) ++i;
    return i;
}

}  // namespace

std::uint16_t table_language(std::uint64_t lcid, const std::string& what) {
    for (const ui_language& language : ui_languages())
        if (language.lcid == lcid) return language.lcid;
    throw tool_error(what + ": " + std::to_string(lcid) + " is no language of the program's texts (they are " +
                     table_lcids() + ")");
}

std::optional<std::uint16_t> lcid_of(const std::string& text) {
    // Five digits at most, so that the number cannot overflow.
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const unsigned long value = std::stoul(text);
    if (value == 0 || value > 0xFFFF) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::uint16_t table_language(const std::string& text, const std::string& what) {
    const std::optional<std::uint16_t> lcid = lcid_of(text);
    if (!lcid) throw tool_error(what + ": \"" + text + "\" is no LCID (a decimal number such as 1031)");
    return table_language(*lcid, what);
}

std::set<std::uint16_t> parse_ui_languages(const std::string& list, const std::string& what) {
    if (list == "all") return all_ui_languages();
    std::set<std::uint16_t> languages;
    if (list.empty()) return languages;
    for (std::size_t at = 0;;) {
        const std::size_t comma = list.find(',', at);
        const std::size_t length = comma == std::string::npos ? std::string::npos : comma - at;
        languages.insert(table_language(list.substr(at, length), what));
        if (comma == std::string::npos) return languages;
        at = comma + 1;
    }
}

std::set<std::uint16_t> all_ui_languages() {
    std::set<std::uint16_t> languages;
    for (const ui_language& language : ui_languages())
        if (!is_english(language.lcid)) languages.insert(language.lcid);
    return languages;
}

std::string ui_language_label(std::uint16_t lcid) {
    for (const ui_language& language : ui_languages())
        if (language.lcid == lcid) return std::to_string(lcid) + " " + std::string(language.name);
    return std::to_string(lcid);
}

std::vector<packed_ui_language> packed_ui_languages(const ui_text_choice& choice) {
    std::set<std::uint16_t> lcids = choice.languages;
    for (const auto& [lcid, texts] : choice.overrides) lcids.insert(lcid);
    std::vector<packed_ui_language> packed;
    for (std::uint16_t lcid : lcids) {
        table_language(lcid, "the program's texts");
        packed_ui_language language{lcid, std::vector<std::u16string>(vennic::ui_text_count)};
        // An English string left empty is the program's own text, which
        // is the table's.
        if (!is_english(lcid))
            for (const ui_text_entry& entry : ui_texts_of(lcid))
                language.texts.at(index_of(std::string(entry.key))) = utf16_of(entry.text);
        if (const auto found = choice.overrides.find(lcid); found != choice.overrides.end()) {
            for (const auto& [key, text] : found->second) {
                try {
                    check_ui_text(key, text);
                } catch (const tool_error& e) {
                    throw tool_error("texts of " + ui_language_label(lcid) + ": " + e.what());
                }
                language.texts.at(index_of(key)) = utf16_of(text);
            }
        }
        packed.push_back(std::move(language));
    }
    return packed;
}

void write_ui_texts(pe::resource_tree& tree, const std::vector<packed_ui_language>& languages) {
    pe::resource_names& blocks = tree[pe::resource_id::of(pe::rt_string)];
    for (const packed_ui_language& language : languages) {
        for (unsigned b = 0; b < vennic::ui_text_blocks; ++b) {
            const std::size_t count = language.texts.size();
            const auto first = language.texts.begin() + std::min<std::size_t>(b * pe::strings_per_block, count);
            const auto last = language.texts.begin() + std::min<std::size_t>((b + 1) * pe::strings_per_block, count);
            const std::uint16_t block = static_cast<std::uint16_t>(vennic::ui_text_first_block + b);
            blocks[pe::resource_id::of(block)][language.lcid] = {pe::write_string_block({first, last}), 0};
        }
    }
}

std::vector<carried_ui_language> carried_ui_languages(const pe::resource_tree& tree) {
    std::vector<carried_ui_language> carried;
    const auto strings = tree.find(pe::resource_id::of(pe::rt_string));
    if (strings == tree.end()) return carried;
    const auto first = strings->second.find(pe::resource_id::of(vennic::ui_text_first_block));
    if (first == strings->second.end()) return carried;
    for (const auto& [lcid, data] : first->second) {
        carried_ui_language language{lcid, ""};
        // A block the language lacks is served by the English texts; one it
        // has must be whole, as the loader trusts its lengths.
        for (unsigned b = 0; b < vennic::ui_text_blocks && language.problem.empty(); ++b) {
            const std::uint16_t block = static_cast<std::uint16_t>(vennic::ui_text_first_block + b);
            const auto found = strings->second.find(pe::resource_id::of(block));
            if (found == strings->second.end()) continue;
            const auto in_language = found->second.find(lcid);
            if (in_language == found->second.end()) continue;
            language.problem = pe::string_block_problem(block, in_language->second.bytes).value_or("");
        }
        carried.push_back(std::move(language));
    }
    return carried;
}

}  // namespace trevan::pack
