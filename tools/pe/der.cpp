#include "tools/pe/der.h"

#include <cstddef>
#include <cstdint>

namespace trevan::pe::der {

std::optional<element> reader::next() {
    if (rest_.size() < 2 || (peek() & 0x1F) == 0x1F) return std::nullopt;
    std::uint64_t length = static_cast<unsigned char>(rest_[1]);
    std::size_t at = 2;
    if (length & 0x80) {
        const std::size_t count = length & 0x7F;
        if (count == 0 || count > 4 || rest_.size() - at < count) return std::nullopt;
        length = 0;
        for (std::size_t i = 0; i < count; ++i) length = length << 8 | static_cast<unsigned char>(rest_[at + i]);
        at += count;
    }
    if (length > rest_.size() - at) return std::nullopt;
    element e{peek(), rest_.substr(at, length), rest_.substr(0, at + length)};
    rest_.remove_prefix(at + length);
    return e;
}

std::optional<element> reader::next(unsigned char tag) {
    if (peek() != tag) return std::nullopt;
    return next();
}

void reader::skip_optional(unsigned char tag) {
    if (peek() == tag) next();
}

std::optional<std::string_view> inside(std::string_view bytes, unsigned char tag) {
    std::optional<element> e = reader(bytes).next(tag);
    if (!e) return std::nullopt;
    return e->contents;
}

std::optional<std::string> dotted_oid(std::string_view oid) {
    std::string out;
    std::uint64_t arc = 0;
    int bits = 0;
    bool first = true;
    for (unsigned char b : oid) {
        if ((bits += 7) > 63) return std::nullopt;
        arc = arc << 7 | (b & 0x7F);
        if (b & 0x80) continue;
        if (first) {
            // The first two arcs share one number: 40 * first + second, and
            // only the last first arc, 2, has more than 40 below it.
            const std::uint64_t top = arc < 80 ? arc / 40 : 2;
            out = std::to_string(top) + "." + std::to_string(arc - 40 * top);
            first = false;
        } else {
            out += "." + std::to_string(arc);
        }
        arc = 0;
        bits = 0;
    }
    if (first || bits != 0) return std::nullopt;
    return out;
}

}  // namespace trevan::pe::der
