// trevan-pack's branding options on the command line: bad input ends with
// exit code 2 and one line, and the command line wins over the settings
// file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"
#include "tests/pack/file_helpers.h"
#include "tests/pack/run_tool.h"
#include "tests/pe/pe_fixtures.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"
#include "tools/pe/text16.h"
#include "tools/pe/version_info.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using pe::icon_file_bytes;
using vennic::put_le32;

// trevan-pack with bad branding input: exit code 2, one line on stderr,
// nothing on stdout, no output file and nothing left beside it.
class BrandingTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fresh_test_folder("trevan-branding-test");
        write_all(path("good.ico"), icon_file_bytes(2));
        write_all(path("many.ico"), icon_file_bytes(65));
        write_all(path("text.ico"), "not an icon\n");
        write_all(path("setup.exe"), "setup");
        std::string stub = read_all(TREVAN_WIN64_PROGRAM);
        write_all(path("stub.exe"), stub);
        // The same program without a resource directory.
        const std::size_t resources = fixtures::pe_offsets_of(stub).value().directory_entry(resource_directory);
        put_le32(stub, resources, 0);
        put_le32(stub, resources + 4, 0);
        write_all(path("bare.exe"), stub);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The captured output goes beside the folder, whose entries are checked.
    tool_run run(const std::vector<std::string>& args) const { return run_tool(args, dir_.parent_path()); }

    std::vector<std::string> build(const std::vector<std::string>& branding, const std::string& stub = "stub.exe") {
        std::vector<std::string> args = {"build", "--stub", path(stub), "--file", "installer64=" + path("setup.exe"),
                                         "--value", "executable64=%installer64%", "--value",
                                         "executable32=%installer64%", "-o", path("out.exe")};
        args.insert(args.end(), branding.begin(), branding.end());
        return args;
    }

    fs::path dir_;
};

TEST_F(BrandingTool, BadInputGivesExitTwoAndOneLine) {
    write_all(path("broken.json"), "{\"maker_name\": \"Q\",");
    write_all(path("unknown.json"), "{\"makername\": \"Q\"}");
    write_all(path("badicon.json"), "{\"icon\": \"text.ico\"}");
    write_all(path("longname.json"), "{\"product_name\": \"" + std::string(260, 'p') + "\"}");
    struct row {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<row> rows = {
        {{"--icon", path("text.ico")}, "icon \"" + path("text.ico") + "\" is not an icon file"},
        {{"--icon", path("many.ico")}, "icon \"" + path("many.ico") + "\" holds 65 images, more than 64"},
        {{"--icon", path("missing.ico")}, "cannot read icon \"" + path("missing.ico") + "\""},
        {{"--version-info", "FileVersion=1.2.3"},
         "version-info FileVersion \"1.2.3\" is not four numbers below 65536 (such as 2.1.0.7)"},
        {{"--version-info", "ProductVersion=1.2.3.65536"},
         "version-info ProductVersion \"1.2.3.65536\" is not four numbers below 65536 (such as 2.1.0.7)"},
        {{"--version-info", "Company=Q"}, "unknown version-info field \"Company\""},
        {{"--version-info", "CompanyName"}, "--version-info CompanyName: expected FIELD=TEXT"},
        {{"--maker-name", std::string(260, 'm')},
         "the maker name (string 2001) has 260 characters, more than the 259 that the program reads"},
        {{"--branding", path("longname.json")},
         "the product name (string 2002) has 260 characters, more than the 259 that the program reads"},
        {{"--maker-name", ""}, "the maker name (string 2001) is empty"},
        {{"--product-name", "Amber\xFFlyn"}, "the product name (string 2002) is not valid UTF-8"},
        {{"--product-name", "Amber\tlyn"}, "the product name (string 2002) holds a control character"},
        {{"--branding", path("broken.json")}, "branding file \"" + path("broken.json") + "\": not JSON (parse error"},
        {{"--branding", path("unknown.json")}, "branding file \"" + path("unknown.json") + "\": unknown member"},
        {{"--branding", path("badicon.json")}, "icon \"" + path("text.ico") + "\" is not an icon file"},
        {{"--branding", path("missing.json")}, "cannot read branding file \"" + path("missing.json") + "\""},
    };
    for (const row& r : rows) {
        tool_run got = run(build(r.args));
        EXPECT_EQ(got.code, 2) << r.message;
        EXPECT_EQ(got.out, "");
        EXPECT_EQ(got.err.rfind("trevan-pack: " + r.message, 0), 0u) << got.err;
        EXPECT_EQ(std::count(got.err.begin(), got.err.end(), '\n'), 1) << got.err;
        EXPECT_FALSE(fs::exists(path("out.exe"))) << r.message;
    }
    tool_run bare = run(build({"--maker-name", "Q"}, "bare.exe"));
    EXPECT_EQ(bare.code, 2);
    EXPECT_EQ(bare.err, "trevan-pack: stub \"" + path("bare.exe") + "\" has no resource directory\n");
    EXPECT_FALSE(fs::exists(path("out.exe")));
    // Only the inputs are left: no temporary files.
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_)) names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"badicon.json", "bare.exe", "broken.json", "good.ico", "longname.json",
                                            "many.ico", "setup.exe", "stub.exe", "text.ico", "unknown.json"}));
}

TEST_F(BrandingTool, CommandLineWinsOverTheSettingsFile) {
    write_all(path("brand.json"), R"({"icon": "good.ico", "maker_name": "FromFile", "product_name": "FromFile",
                                     "version_info": {"FileVersion": "1.1.1.1", "CompanyName": "File Ltd."}})");
    tool_run got = run(build({"--branding", path("brand.json"), "--product-name", "Amberlyn", "--version-info",
                            "FileVersion=2.0.0.0"}));
    ASSERT_EQ(got.code, 0) << got.err;
    pe::pe_image image(read_all(path("out.exe")), "out");
    image = pe::pe_image(image.bytes().substr(0, image.image_end()), "out");
    pe::resource_tree tree = pe::read_resources(image, "out");
    auto info = pe::parse_version_resource(tree.at(pe::resource_id::of(pe::rt_version)).begin()->second.begin()->second.bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->file_version.text(), "2.0.0.0");
    EXPECT_EQ(pe::utf16_to_utf8(*info->find(u"CompanyName")), "File Ltd.");
    EXPECT_EQ(pe::utf16_to_utf8(*info->find(u"ProductName")), "Amberlyn") << "defaults to the product name";
    EXPECT_EQ(tree.at(pe::resource_id::of(pe::rt_icon)).size(), 2u);

    tool_run listed = run({"list", path("out.exe")});
    EXPECT_EQ(listed.code, 0);
    EXPECT_NE(listed.out.find("  maker name (2001)    \"FromFile\"\n  product name (2002)  \"Amberlyn\"\n"
                              "  file version         2.0.0.0\n"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("  icon images          2\n  texts                none (English only)\n"
                              "  signature            none (no certificate table)\n"),
              std::string::npos);
}

}  // namespace
}  // namespace trevan::pack
