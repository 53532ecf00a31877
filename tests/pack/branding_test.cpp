// Branding: version numbers, UTF-8 texts, icon files, version resources,
// the settings file, the resource section of the real program images, and
// trevan-pack's answers to bad branding input.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "tests/pack/file_helpers.h"
#include "tools/pack/branding.h"
#include "tools/pack/branding_file.h"
#include "tools/pack/byte_fields.h"
#include "tools/pack/icon_file.h"
#include "tools/pack/pe_image.h"
#include "tools/pack/resource_tree.h"
#include "tools/pack/text16.h"
#include "tools/pack/version_info.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;

std::string program(const std::string& tree) { return tree == "win32" ? TREVAN_WIN32_PROGRAM : TREVAN_WIN64_PROGRAM; }

// An icon file of count 16x16 bitmap images (or the given image data).
std::string icon_file(std::size_t count, const std::string& image = "") {
    std::string bitmap(40 + 16 * 16 * 4 + 16 * 4, '\x11');
    write32(bitmap, 0, 40);
    write16(bitmap, 12, 1);
    write16(bitmap, 14, 32);
    const std::string& data = image.empty() ? bitmap : image;
    std::string out(6 + 16 * count, '\0');
    write16(out, 2, 1);
    write16(out, 4, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t entry = 6 + 16 * i;
        out[entry] = out[entry + 1] = 16;
        write32(out, entry + 8, static_cast<std::uint32_t>(data.size()));
        write32(out, entry + 12, static_cast<std::uint32_t>(6 + 16 * count + i * data.size()));
    }
    for (std::size_t i = 0; i < count; ++i) out += data;
    return out;
}

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
    for (const std::string& text : valid) EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(text)), text);
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x9A\x80"), (std::u16string{0xD83D, 0xDE80}));
    const std::string invalid[] = {"\x80", "\xC3", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80",
                                   "\xE2\x82", "a\xFFz", "\xF8\x88\x80\x80\x80"};
    for (const std::string& text : invalid) EXPECT_THROW(utf8_to_utf16(text), std::invalid_argument) << text;
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
    EXPECT_EQ(static_cast<unsigned char>(data[0]) | static_cast<unsigned char>(data[1]) << 8, data.size());

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
    EXPECT_THROW(build_version_resource(info), std::length_error);
}

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

TEST(IconFile, ImagesAndGroup) {
    std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "rest of a PNG";
    std::string ico = icon_file(1, png);
    std::vector<icon_image> images = read_icon_file(ico, "icon");
    ASSERT_EQ(images.size(), 1u);
    // Left 0 in the file: taken from the image (PNG: one plane, 32 bits).
    EXPECT_EQ(images[0].planes, 1u);
    EXPECT_EQ(images[0].bit_count, 32u);
    EXPECT_EQ(images[0].data, png);

    images = read_icon_file(icon_file(3), "icon");
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[2].bit_count, 32u);
    std::string group = group_icon_resource(images, 5);
    ASSERT_EQ(group.size(), 6u + 3 * 14);
    EXPECT_EQ(group.substr(0, 6), std::string("\0\0\1\0\3\0", 6));
    EXPECT_EQ(group[6 + 2 * 14 + 12], 7) << "the third image is RT_ICON 7";
    EXPECT_EQ(read_icon_file(icon_file(64), "icon").size(), 64u);
}

TEST(IconFile, NotAnIconFile) {
    std::string cursor = icon_file(1);
    cursor[2] = 2;
    std::string outside = icon_file(2);
    write32(outside, 6 + 16 + 8, 1u << 20);
    std::string overlapping = icon_file(1);
    write32(overlapping, 6 + 12, 4);
    std::string neither = icon_file(1, std::string(100, 'x'));
    struct row {
        std::string bytes, message;
    };
    const row rows[] = {
        {"", "icon is not an icon file"},
        {"hello, world", "icon is not an icon file"},
        {cursor, "icon is not an icon file"},
        {icon_file(0), "icon holds no images"},
        {icon_file(65), "icon holds 65 images, more than 64"},
        {icon_file(3).substr(0, 30), "icon is not an icon file (its directory is cut short)"},
        {outside, "icon is not an icon file (image 2 lies outside the file)"},
        {overlapping, "icon is not an icon file (image 1 lies outside the file)"},
        {neither, "icon is not an icon file (image 1 is neither a bitmap nor PNG)"},
    };
    for (const row& r : rows) {
        try {
            read_icon_file(r.bytes, "icon");
            ADD_FAILURE() << "accepted: " << r.message;
        } catch (const branding_error& e) {
            EXPECT_EQ(std::string(e.what()), r.message);
        }
    }
}

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
        } catch (const branding_error& e) {
            std::string message = e.what();
            EXPECT_EQ(message.rfind(r.message_start, 0), 0u) << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << message;
        }
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
    EXPECT_EQ(branded.directory(resource_directory).rva, branded.sections().back().virtual_address);

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

TEST_P(ResourceSection, ImagesThatCannotTakeNewResources) {
    branding b;
    b.maker_name = "Quillfeather";
    pe_image parsed(original, "program");
    const std::size_t pe = static_cast<unsigned char>(original[0x3C]) | static_cast<unsigned char>(original[0x3D]) << 8;
    const std::size_t optional = pe + 24;
    const bool wide = original[optional] == 0x0B && original[optional + 1] == 0x02;
    const std::size_t directories = optional + (wide ? 112 : 96);
    const std::size_t table_end = optional + (static_cast<unsigned char>(original[pe + 20])) + 40 * parsed.sections().size();

    std::string no_resources = original;
    write32(no_resources, directories + 16, 0);
    write32(no_resources, directories + 20, 0);
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
        } catch (const branding_error& e) {
            EXPECT_EQ(std::string(e.what()), r.message);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, ResourceSection, ::testing::Values("win32", "win64"));

// trevan-pack with bad branding input: exit code 2, one line on stderr,
// nothing on stdout, no output file and nothing left beside it.
class BrandingTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / "trevan-branding-test" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        write_all(path("good.ico"), icon_file(2));
        write_all(path("many.ico"), icon_file(65));
        write_all(path("text.ico"), "not an icon\n");
        write_all(path("setup.exe"), "setup");
        std::string stub = read_all(program("win64"));
        write_all(path("stub.exe"), stub);
        // The same program without a resource directory.
        const std::size_t pe = static_cast<unsigned char>(stub[0x3C]);
        write32(stub, pe + 24 + 112 + 16, 0);
        write32(stub, pe + 24 + 112 + 20, 0);
        write_all(path("bare.exe"), stub);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    struct result {
        int code = -1;
        std::string out, err;
    };

    result run(std::vector<std::string> args) const {
        args.insert(args.begin(), TREVAN_PACK_TOOL);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string out = (dir_.parent_path() / "stdout").string(), err = (dir_.parent_path() / "stderr").string();
        pid_t pid = fork();
        if (pid == 0) {
            dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
            dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
            execv(argv[0], argv.data());
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, read_all(out), read_all(err)};
    }

    std::vector<std::string> build(const std::vector<std::string>& branding, const std::string& stub = "stub.exe") {
        std::vector<std::string> args = {"build", "--stub", path(stub), "--file", "installer64=" + path("setup.exe"),
                                         "-o", path("out.exe")};
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
        result got = run(build(r.args));
        EXPECT_EQ(got.code, 2) << r.message;
        EXPECT_EQ(got.out, "");
        EXPECT_EQ(got.err.rfind("trevan-pack: " + r.message, 0), 0u) << got.err;
        EXPECT_EQ(std::count(got.err.begin(), got.err.end(), '\n'), 1) << got.err;
        EXPECT_FALSE(fs::exists(path("out.exe"))) << r.message;
    }
    result bare = run(build({"--maker-name", "Q"}, "bare.exe"));
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
    result got = run(build({"--branding", path("brand.json"), "--product-name", "Amberlyn", "--version-info",
                            "FileVersion=2.0.0.0"}));
    ASSERT_EQ(got.code, 0) << got.err;
    pe_image image(read_all(path("out.exe")), "out");
    image = pe_image(image.bytes().substr(0, image.image_end()), "out");
    resource_tree tree = read_resources(image, "out");
    auto info = parse_version_resource(tree.at(resource_id::of(rt_version)).begin()->second.begin()->second.bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->file_version.text(), "2.0.0.0");
    EXPECT_EQ(utf16_to_utf8(*info->find(u"CompanyName")), "File Ltd.");
    EXPECT_EQ(utf16_to_utf8(*info->find(u"ProductName")), "Amberlyn") << "defaults to the product name";
    EXPECT_EQ(tree.at(resource_id::of(rt_icon)).size(), 2u);

    result listed = run({"list", path("out.exe")});
    EXPECT_EQ(listed.code, 0);
    EXPECT_NE(listed.out.find("  maker name (2001)    \"FromFile\"\n  product name (2002)  \"Amberlyn\"\n"
                              "  file version         2.0.0.0\n"),
              std::string::npos)
        << listed.out;
    EXPECT_NE(listed.out.find("  icon images          2\n  signed               no\n"), std::string::npos);
}

}  // namespace
}  // namespace trevan::pack
