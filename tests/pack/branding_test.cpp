// Branding on its own: the settings file, and the built programs' images
// refused where they cannot take new resources.
#include <gtest/gtest.h>

#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"
#include "tests/pack/file_helpers.h"
#include "tools/pack/branding.h"
#include "tools/pack/branding_file.h"

namespace trevan::pack {
namespace {

using vennic::put_le32;

TEST(SettingsFile, MembersAndMistakes) {
    branding b = parse_branding(R"({"icon": "art/p.ico", "maker_name": "Q", "product_name": "A",
                                    "version_info": {"FileVersion": "1.2.3.4", "CompanyName": "Q Ltd."}})",
                                "/cfg", "settings");
    EXPECT_EQ(b.icon, "/cfg/art/p.ico");
    EXPECT_EQ(b.maker_name, "Q");
    EXPECT_EQ(b.product_name, "A");
    EXPECT_EQ(b.version_info, (std::map<std::string, std::string>{{"FileVersion", "1.2.3.4"}, {"CompanyName", "Q Ltd."}}));
    EXPECT_EQ(parse_branding(R"({"icon": "/abs/p.ico"})", "/cfg", "settings").icon, "/abs/p.ico");
    EXPECT_TRUE(parse_branding("{}", "/cfg", "settings").empty());

    struct row {
        const char* text;
        const char* message_start;
    };
    const row rows[] = {
        {"{\"maker_name\": ", "settings: not JSON (parse error"},
        {"[1, 2]", "settings: expected a JSON object"},
        {R"({"maker": "Q"})", "settings: unknown member \"maker\""},
        {R"({"maker_name": 5})", "settings: \"maker_name\" must be a string"},
        {R"({"icon": ""})", "settings: \"icon\" is empty"},
        {R"({"version_info": "1.2.3.4"})", "settings: \"version_info\" must be an object"},
        {R"({"version_info": {"FileVersion": 1}})", "settings: version_info: \"FileVersion\" must be a string"},
    };
    for (const row& r : rows) {
        try {
            parse_branding(r.text, "/cfg", "settings");
            ADD_FAILURE() << "accepted: " << r.text;
        } catch (const tool_error& e) {
            std::string message = e.what();
            EXPECT_EQ(message.rfind(r.message_start, 0), 0u) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
    }
}

class BrandedProgram : public ::testing::TestWithParam<const char*> {
protected:
    std::string original = read_all(GetParam() == std::string("win32") ? TREVAN_WIN32_PROGRAM : TREVAN_WIN64_PROGRAM);
};

TEST_P(BrandedProgram, ImagesThatCannotTakeNewResources) {
    branding b;
    b.maker_name = "Quillfeather";
    const fixtures::pe_offsets pe = fixtures::pe_offsets_of(original).value();
    const std::size_t table_end = pe.section_table + pe_layout::section_header_size * pe.headers.section_count();

    std::string no_resources = original;
    put_le32(no_resources, pe.directory_entry(resource_directory), 0);
    put_le32(no_resources, pe.directory_entry(resource_directory) + 4, 0);
    std::string no_room = original;
    no_room[table_end + 39] = 1;
    struct row {
        std::string image, message;
    };
    const row rows[] = {
        {no_resources, "stub has no resource directory"},
        {original + "overlay", "stub has 7 bytes behind its last section: brand the plain program"},
        {original.substr(0, original.size() - 512), "stub is cut short: its sections end beyond the file"},
        {no_room, "stub has no room for another section header"},
        {"MZ" + std::string(100, '\0'), "stub is not a Windows executable (no PE header)"},
    };
    for (const row& r : rows) {
        try {
            apply_branding(r.image, b, "stub");
            ADD_FAILURE() << "branded: " << r.message;
        } catch (const tool_error& e) {
            EXPECT_EQ(std::string(e.what()), r.message);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, BrandedProgram, ::testing::Values("win32", "win64"));

}  // namespace
}  // namespace trevan::pack
