#include "tools/pe/string_table.h"

#include <algorithm>
#include <optional>

#include "support/core/little_endian.h"
#include "tools/pe/text16.h"

namespace trevan::pe {

std::vector<std::u16string> read_string_block(const std::string& data) {
    const vennic::le_view block(data);
    std::vector<std::u16string> strings(strings_per_block);
    std::size_t at = 0;
    for (std::u16string& s : strings) {
        std::optional<std::uint16_t> length = block.u16(at);
        if (!length) break;
        at += 2;
        const std::size_t bytes = std::min<std::size_t>(2 * std::size_t(*length), block.size() - at);
        s = utf16_from_bytes(data.data() + at, bytes);
        at += bytes;
    }
    return strings;
}

std::optional<std::string> string_block_problem(std::uint16_t block, const std::string& data) {
    const vennic::le_view view(data);
    std::size_t at = 0;
    for (unsigned i = 0; i < strings_per_block; ++i) {
        const std::optional<std::uint16_t> length = view.u16(at);
        if (!length || 2 * std::size_t(*length) > data.size() - at - 2)
            return "block " + std::to_string(block) + ": string " +
                   std::to_string((block - 1) * strings_per_block + i) +
                   " runs past the block's " + std::to_string(data.size()) + " bytes of data";
        at += 2 + 2 * std::size_t(*length);
    }
    return std::nullopt;
}

std::string write_string_block(const std::vector<std::u16string>& strings) {
    std::string out;
    for (unsigned i = 0; i < strings_per_block; ++i) {
        const std::u16string empty;
        const std::u16string& s = i < strings.size() ? strings[i] : empty;
        vennic::append_le16(out, static_cast<std::uint16_t>(s.size()));
        out += utf16_bytes(s);
    }
    return out;
}

}  // namespace trevan::pe
