// The PE library on its own: version numbers, UTF-8 and UTF-16 texts,
// version resources, icon files, string tables, and an image's headers
// after new resources.
#include <gtest/gtest.h>

#include <vector>

#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"
#include "tests/pe/pe_fixtures.h"
#include "tools/pe/icon_file.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"
#include "tools/pe/string_table.h"
#include "tools/pe/text16.h"
#include "tools/pe/version_info.h"

namespace trevan::pe {
namespace {

using vennic::put_le16;
using vennic::put_le32;

TEST(VersionNumber, FourNumbersBelow65536) {
    struct row {
        const char* text;
        bool ok;
    };
    const row rows[] = {
        {"1.2.3.4", true},   {"0.0.0.0", true},      {"65535.65535.65535.65535", true}, {"01.2.3.4", true},
        {"1.2.3", false},    {"1.2.3.4.5", false},   {"1.2.3.65536", false},            {"1.2.3.", false},
        {"a.b.c.d", false},  {"1.2.3.4 ", false},    {" 1.2.3.4", false},               {"1..3.4", false},
        {"-1.2.3.4", false}, {"1.2.3.4000000", false}, {"", false},
    };
    for (const row& r : rows) EXPECT_EQ(parse_version_number(r.text).has_value(), r.ok) << r.text;
    EXPECT_EQ(parse_version_number("65535.0.9.1")->text(), "65535.0.9.1");
    EXPECT_EQ(parse_version_number("2.1.0.7")->high(), 0x00020001u);
    EXPECT_EQ(parse_version_number("2.1.0.7")->low(), 0x00000007u);
}

TEST(Text16, Utf8InUtf16AndBack) {
    const std::string valid[] = {"", "Amberlyn", "Gro\xC3\x9F", "\xE2\x80\x94", "\xF0\x9F\x9A\x80 rocket"};
    for (const std::string& text : valid) EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(text).value()), text);
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x9A\x80"), (std::u16string{0xD83D, 0xDE80}));
    const std::string invalid[] = {"\x80", "\xC3", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                   "\xE2\x82", "a\xFFz", "\xF8\x88\x80\x80\x80"};
    for (const std::string& text : invalid) EXPECT_FALSE(utf8_to_utf16(text)) << text;
    EXPECT_EQ(utf16_to_utf8(std::u16string{u'a', 0xD800, u'b'}), "a\xEF\xBF\xBD" "b");
}

TEST(VersionResource, BuiltAndReadBack) {
    version_info info;
    info.file_version = *parse_version_number("2.1.0.7");
    info.product_version = *parse_version_number("3.0.0.1");
    info.set(u"CompanyName", u"Quillfeather");
    info.set(u"FileDescription", u"Odd");  // odd lengths need padding
    info.set(u"LegalCopyright", u"\u00A9 \U0001F680");
    info.set(u"Comments", u"");
    info.set(u"CompanyName", u"Quillfeather Ltd.");
    std::string data = build_version_resource(info);
    EXPECT_EQ(data.size() % 4, 0u);
    EXPECT_EQ(vennic::le_view(data).u16(0), data.size());

    auto back = parse_version_resource(data);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->file_version.text(), "2.1.0.7");
    EXPECT_EQ(back->product_version.text(), "3.0.0.1");
    EXPECT_EQ(back->strings, info.strings);
    EXPECT_EQ(back->strings.size(), 4u) << "set replaces a key in place";
    EXPECT_EQ(back->translations, std::vector<std::uint32_t>{0x04B00409});
    EXPECT_EQ(back->table_key, u"040904B0");

    // Damage: cut, wrong key, lengths beyond the data.
    EXPECT_FALSE(parse_version_resource(data.substr(0, 40)));
    EXPECT_FALSE(parse_version_resource(""));
    std::string wrong = data;
    wrong[6] = 'X';
    EXPECT_FALSE(parse_version_resource(wrong));

    info.set(u"Comments", std::u16string(40000, u'x'));
    EXPECT_THROW(build_version_resource(info), pe_error);
}

TEST(IconFile, ImagesAndGroup) {
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "rest of a PNG";
    std::string ico = icon_file_bytes(1, png);
    std::vector<icon_image> images = read_icon_file(ico, "icon");
    ASSERT_EQ(images.size(), 1u);
    // Left 0 in the file: taken from the image (PNG: one plane, 32 bits).
    EXPECT_EQ(images[0].planes, 1u);
    EXPECT_EQ(images[0].bit_count, 32u);
    EXPECT_EQ(images[0].data, png);

    images = read_icon_file(icon_file_bytes(3), "icon");
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[2].bit_count, 32u);
    std::string group = group_icon_resource(images, 5);
    ASSERT_EQ(group.size(), 6u + 3 * 14);
    EXPECT_EQ(group.substr(0, 6), std::string("\0\0\1\0\3\0", 6));
    EXPECT_EQ(group[6 + 2 * 14 + 12], 7) << "the third image is RT_ICON 7";
    EXPECT_EQ(group_icon_count(group), 3u);
    EXPECT_EQ(group_icon_count(group.substr(0, 5)), 0u);
    EXPECT_EQ(read_icon_file(icon_file_bytes(64), "icon").size(), 64u);
}

TEST(IconFile, NotAnIconFile) {
    std::string cursor = icon_file_bytes(1);
    cursor[2] = 2;
    std::string outside = icon_file_bytes(2);
    put_le32(outside, 6 + 16 + 8, 1u << 20);
    std::string overlapping = icon_file_bytes(1);
    put_le32(overlapping, 6 + 12, 4);
    std::string neither = icon_file_bytes(1, std::string(100, 'x'));
    struct row {
        std::string bytes, message;
    };
    const row rows[] = {
        {"", "icon is not an icon file"},
        {std::string("\0\0\1\0", 4), "icon is not an icon file"},
        {"hello, world", "icon is not an icon file"},
        {cursor, "icon is not an icon file"},
        {icon_file_bytes(0), "icon holds no images"},
        {icon_file_bytes(65), "icon holds 65 images, more than 64"},
        {icon_file_bytes(3).substr(0, 30), "icon is not an icon file (its directory is cut short)"},
        {outside, "icon is not an icon file (image 2 lies outside the file)"},
        {overlapping, "icon is not an icon file (image 1 lies outside the file)"},
        {neither, "icon is not an icon file (image 1 is neither a bitmap nor PNG)"},
    };
    for (const row& r : rows) {
        try {
            read_icon_file(r.bytes, "icon");
            ADD_FAILURE() << "accepted: " << r.message;
        } catch (const pe_error& e) {
            EXPECT_EQ(std::string(e.what()), r.message);
        }
    }
}

TEST(StringTable, BlocksReadAndWritten) {
    EXPECT_EQ(string_block_of(2001), 126u);
    EXPECT_EQ(string_index_of(2001), 1u);
    EXPECT_EQ(string_index_of(2002), 2u);
    std::vector<std::u16string> strings(16);
    strings[1] = u"Quillfeather";
    strings[2] = u"Amber\U0001F680";
    const std::string block = write_string_block(strings);
    EXPECT_EQ(block.size(), 2u * 16 + 2 * (12 + 7));
    EXPECT_EQ(read_string_block(block), strings);
    // Cut short in the second string: what is there stays, the rest is empty.
    std::vector<std::u16string> cut(16);
    cut[1] = u"Quill";
    EXPECT_EQ(read_string_block(block.substr(0, 2 + 2 + 2 * 5 + 1)), cut);
    EXPECT_EQ(read_string_block(""), std::vector<std::u16string>(16));

    // A block the loader can read whole, or the first string it would read
    // past the data for.
    struct row {
        std::string data;
        const char* problem;
    };
    const row rows[] = {
        {block, nullptr},
        {block + std::string(6, '\0'), nullptr},  // padding behind the last string
        {block.substr(0, block.size() - 1), "block 126: string 2015 runs past the block's 69 bytes of data"},
        {block.substr(0, 2 + 2 + 2 * 5 + 1), "block 126: string 2001 runs past the block's 15 bytes of data"},
        {"", "block 126: string 2000 runs past the block's 0 bytes of data"},
    };
    for (const row& r : rows) {
        const std::optional<std::string> problem = string_block_problem(126, r.data);
        EXPECT_EQ(problem.value_or("(none)"), r.problem ? r.problem : "(none)") << r.data.size();
    }
}

// New resources, in place or in a new section, and the headers still say
// what the loader maps: the image ends where the resources, now the last
// section in memory, end; the checksum is the file's.
TEST(PeImage, NewResourcesKeepTheHeadersTrue) {
    resource_tree tree;
    tree[resource_id::of(rt_string)][resource_id::of(1)][0x409] = {std::string(32, 's'), 0};
    resource_tree grown = tree;
    grown[resource_id::of(rt_version)][resource_id::of(1)][0x409] = {std::string(9000, 'v'), 0};
    struct row {
        const char* what;
        std::vector<std::string> sections;
        std::size_t sections_after;
    };
    const row rows[] = {
        {"resources last: rewritten in place", {".text", ".rsrc"}, 2},
        {"resources before data: a new section", {".rsrc", ".data"}, 3},
    };
    for (const row& r : rows) {
        pe_image image(image_of(r.sections, tree), "image");
        const std::uint32_t size_before = image.size_of_image_field();
        image.replace_resources([&](std::uint32_t rva) { return write_resources(grown, rva); });

        const pe_image after(image.bytes(), "after");
        const pe_directory resources = after.directory(resource_directory);
        EXPECT_EQ(after.sections().size(), r.sections_after) << r.what;
        EXPECT_EQ(after.size_of_image_field(), resources.address + (resources.size + 0xFFFu) / 0x1000 * 0x1000)
            << r.what;
        EXPECT_GT(after.size_of_image_field(), size_before) << r.what;
        EXPECT_EQ(after.compute_checksum(), after.checksum_field()) << r.what;
        EXPECT_EQ(read_resources(after, "after"), grown) << r.what;
    }
}

}  // namespace
}  // namespace trevan::pe
