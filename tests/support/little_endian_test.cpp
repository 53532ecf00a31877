// le_view gives a field only when it lies wholly inside its span, at every
// offset up to and past the end, sums that wrap included; put_ refuses to
// write outside its bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "support/core/little_endian.h"

namespace {

constexpr std::size_t huge = std::numeric_limits<std::size_t>::max();

// The field of width bytes at `at`, read byte by byte as the format says.
std::optional<std::uint32_t> expected_field(const std::string& bytes, std::size_t at, std::size_t width) {
    if (at > bytes.size() || width > bytes.size() - at) return std::nullopt;
    std::uint32_t v = 0;
    for (std::size_t i = width; i-- > 0;) v = v << 8 | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

std::optional<std::uint32_t> read(const vennic::le_view& view, std::size_t at, std::size_t width) {
    switch (width) {
    case 1: {
        auto v = view.u8(at);
        return v ? std::optional<std::uint32_t>(*v) : std::nullopt;
    }
    case 2: {
        auto v = view.u16(at);
        return v ? std::optional<std::uint32_t>(*v) : std::nullopt;
    }
    default: return view.u32(at);
    }
}

TEST(LeView, EveryReadAtAndPastTheEnd) {
    const std::string bytes("\x01\x82\x03\xF4\x05\x86\x07", 7);
    const vennic::le_view view(bytes);
    const std::size_t offsets[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 64, huge - 3, huge - 1, huge};
    for (std::size_t width : {1u, 2u, 4u}) {
        for (std::size_t at : offsets) {
            EXPECT_EQ(read(view, at, width), expected_field(bytes, at, width)) << "width " << width << " at " << at;
            EXPECT_EQ(view.holds(at, width), expected_field(bytes, at, width).has_value()) << at;
        }
    }
    // Nothing at all can be read from an empty span.
    const vennic::le_view empty;
    for (std::size_t width : {1u, 2u, 4u}) EXPECT_FALSE(read(empty, 0, width)) << width;
}

TEST(LeView, APartIsGivenOnlyWhenItLiesInsideAndReadsOnlyItself) {
    const std::string bytes("abcdefgh", 8);
    const vennic::le_view view(bytes);
    struct row {
        std::size_t at, length;
        bool given;
    };
    const row rows[] = {
        {0, 8, true}, {8, 0, true}, {3, 5, true}, {3, 6, false}, {9, 0, false},
        {1, huge, false}, {huge, 1, false}, {huge, 0, false},
    };
    for (const row& r : rows) {
        std::optional<vennic::le_view> part = view.part(r.at, r.length);
        ASSERT_EQ(part.has_value(), r.given) << r.at << "+" << r.length;
        if (!part) continue;
        EXPECT_EQ(part->size(), r.length);
        // Its end is its own, whatever lies behind it.
        EXPECT_FALSE(part->u8(r.length)) << r.at;
        if (r.length) {
            EXPECT_EQ(*part->u8(0), static_cast<unsigned char>(bytes[r.at]));
        }
    }
}

TEST(LeView, PutsRefuseAFieldOutsideTheBytes) {
    struct row {
        std::size_t size, at;
        bool fits16, fits32;
    };
    const row rows[] = {
        {4, 0, true, true}, {4, 2, true, false}, {4, 3, false, false}, {4, 4, false, false},
        {4, huge, false, false}, {0, 0, false, false},
    };
    for (const row& r : rows) {
        std::string out(r.size, '\0');
        if (r.fits16) {
            vennic::put_le16(out, r.at, 0xBEEF);
            EXPECT_EQ(vennic::le_view(out).u16(r.at), 0xBEEF);
        } else {
            EXPECT_THROW(vennic::put_le16(out, r.at, 1), std::out_of_range) << r.size << "@" << r.at;
        }
        if (r.fits32) {
            vennic::put_le32(out, r.at, 0x8BADF00Du);
            EXPECT_EQ(vennic::le_view(out).u32(r.at), 0x8BADF00Du);
        } else {
            EXPECT_THROW(vennic::put_le32(out, r.at, 1), std::out_of_range) << r.size << "@" << r.at;
        }
        EXPECT_EQ(out.size(), r.size);
    }
}

}  // namespace
