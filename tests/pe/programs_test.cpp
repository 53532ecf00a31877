// The PE library on the programs this tree built: their version resource,
// the linker's checksum, and their resource section written and read back.
#include <gtest/gtest.h>

#include "tests/pack/file_helpers.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"
#include "tools/pe/text16.h"
#include "tools/pe/version_info.h"

namespace trevan::pe {
namespace {

using pack::read_all;

std::string program(const std::string& tree) { return tree == "win32" ? TREVAN_WIN32_PROGRAM : TREVAN_WIN64_PROGRAM; }

TEST(VersionResource, TheProgramCarriesTheProjectsVersion) {
    for (const char* tree : {"win32", "win64"}) {
        pe_image image(read_all(program(tree)), tree);
        resource_tree resources = read_resources(image, tree);
        const auto& versions = resources.at(resource_id::of(rt_version));
        ASSERT_EQ(versions.size(), 1u);
        auto info = parse_version_resource(versions.begin()->second.begin()->second.bytes);
        ASSERT_TRUE(info) << tree;
        EXPECT_EQ(info->file_version.text(), TREVAN_VERSION_TEXT);
        EXPECT_EQ(info->product_version.text(), TREVAN_VERSION_TEXT);
        ASSERT_TRUE(info->find(u"FileVersion"));
        EXPECT_EQ(utf16_to_utf8(*info->find(u"FileVersion")), TREVAN_VERSION_TEXT);
        EXPECT_EQ(utf16_to_utf8(*info->find(u"ProductName")), "Vorbelquint");
    }
}

class ResourceSection : public ::testing::TestWithParam<const char*> {
protected:
    std::string original = read_all(program(GetParam()));
};

TEST_P(ResourceSection, TheLinkersChecksumIsOurs) {
    pe_image image(original, "program");
    EXPECT_NE(image.checksum_field(), 0u);
    EXPECT_EQ(image.compute_checksum(), image.checksum_field());
}

TEST_P(ResourceSection, WrittenAndReadBackUnchanged) {
    pe_image image(original, "program");
    resource_tree tree = read_resources(image, "program");
    ASSERT_EQ(tree.size(), 3u);
    // Named types and names come first, in code-unit order.
    tree[resource_id{true, 0, u"PAYLOAD"}][resource_id{true, 0, u"Zeta"}][0x407] = {"zeta", 1252};
    tree[resource_id{true, 0, u"PAYLOAD"}][resource_id{true, 0, u"ALPHA"}][0x407] = {std::string(3000, 'a'), 0};
    tree[resource_id::of(rt_string)][resource_id::of(1)][0x409] = {std::string("\0\0", 2), 0};
    image.replace_resources([&](std::uint32_t rva) { return write_resources(tree, rva); });

    pe_image branded(image.bytes(), "branded");
    EXPECT_EQ(read_resources(branded, "branded"), tree);
    EXPECT_EQ(branded.compute_checksum(), branded.checksum_field());
    ASSERT_EQ(branded.sections().size(), pe_image(original, "program").sections().size() + 1);
    EXPECT_EQ(branded.sections().back().name, ".rsrc");
    EXPECT_EQ(branded.directory(resource_directory).address, branded.sections().back().virtual_address);

    // Now the resource section is the last one: written again in place, and
    // the same tree gives the same bytes.
    branded.replace_resources([&](std::uint32_t rva) { return write_resources(tree, rva); });
    EXPECT_EQ(branded.bytes(), image.bytes());
    tree.erase(resource_id{true, 0, u"PAYLOAD"});
    branded.replace_resources([&](std::uint32_t rva) { return write_resources(tree, rva); });
    EXPECT_EQ(branded.sections().size(), image.sections().size());
    EXPECT_LT(branded.bytes().size(), image.bytes().size());
    EXPECT_EQ(read_resources(pe_image(branded.bytes(), "again"), "again"), tree);
}

INSTANTIATE_TEST_SUITE_P(Programs, ResourceSection, ::testing::Values("win32", "win64"));

}  // namespace
}  // namespace trevan::pe
