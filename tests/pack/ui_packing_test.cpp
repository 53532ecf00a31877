// The program's own texts in the customer's languages, packed by the real
// tool into the real program and read back with the PE library at the
// string ids and in the languages the program loads them from.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "support/core/little_endian.h"
#include "support/core/ui_text.h"
#include "tests/pack/file_helpers.h"
#include "tests/pack/run_tool.h"
#include "tools/pack/branding_file.h"
#include "tools/pack/ui_packing.h"
#include "tools/pack/ui_texts.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"
#include "tools/pe/string_table.h"
#include "tools/pe/text16.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using pe::resource_id;
using pe::resource_tree;

resource_tree tree_of(const std::string& bytes) {
    const pe::pe_image packed(bytes, "packed");
    return pe::read_resources(pe::pe_image(bytes.substr(0, packed.image_end()), "image"), "image");
}

// The languages of the texts' first block.
std::set<std::uint16_t> languages_of(const resource_tree& tree) {
    std::set<std::uint16_t> found;
    const auto& strings = tree.at(resource_id::of(pe::rt_string));
    if (const auto block = strings.find(resource_id::of(vennic::ui_text_first_block)); block != strings.end())
        for (const auto& [lcid, data] : block->second) found.insert(lcid);
    return found;
}

// String id of the string table in the language lcid, as the program loads
// it; nothing when its block is not there in that language.
std::optional<std::u16string> string_of(const resource_tree& tree, std::uint16_t lcid, std::uint16_t id) {
    const auto& strings = tree.at(resource_id::of(pe::rt_string));
    const auto block = strings.find(resource_id::of(pe::string_block_of(id)));
    if (block == strings.end() || !block->second.count(lcid)) return std::nullopt;
    return pe::read_string_block(block->second.at(lcid).bytes)[pe::string_index_of(id)];
}

std::u16string utf16(std::string_view text) { return pe::utf8_to_utf16(std::string(text)).value(); }

class UiPacking : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fresh_test_folder("trevan-ui-packing-test");
        write_all(path("stub.exe"), stub_);
        write_all(path("setup.exe"), "setup");
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The captured output goes beside the folder, whose entries are checked.
    tool_run run(const std::vector<std::string>& args) const { return run_tool(args, dir_.parent_path()); }

    std::vector<std::string> build(const std::vector<std::string>& extra, const std::string& out = "out.exe") const {
        std::vector<std::string> args = {"build", "--stub", path("stub.exe"), "--file", "installer64=" + path("setup.exe"),
                                         "--value", "executable64=%installer64%", "--value",
                                         "executable32=%installer64%", "-o", path(out)};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }

    // Builds and reads the packed program's resources back.
    resource_tree built(const std::vector<std::string>& extra) const {
        const tool_run r = run(build(extra));
        EXPECT_EQ(r.code, 0) << r.err;
        return tree_of(read_all(path("out.exe")));
    }

    void write_project(const std::string& members) const {
        write_all(path("project.json"), R"({"stub": "stub.exe", "files": [{"setting": "installer64", "path": "setup.exe"}],
            "values": {"executable64": "%installer64%", "executable32": "%installer64%"}, "output": "out.exe")" +
                                            members + "}");
    }

    // Bad input: exit code 2, one line on stderr that begins with message,
    // nothing on stdout and no output.
    void expect_refused(const std::vector<std::string>& args, const std::string& message) const {
        const tool_run got = run(args);
        EXPECT_EQ(got.code, 2) << message;
        EXPECT_EQ(got.out, "");
        EXPECT_EQ(got.err.rfind("trevan-pack: " + message, 0), 0u) << got.err;
        EXPECT_EQ(std::count(got.err.begin(), got.err.end(), '\n'), 1) << got.err;
        EXPECT_FALSE(fs::exists(path("out.exe"))) << message;
    }

    fs::path dir_;
    std::string stub_ = read_all(TREVAN_WIN64_PROGRAM);
};

TEST_F(UiPacking, EachLanguageHoldsTheTablesTextsAtTheProgramsStringIds) {
    const resource_tree tree = built({"--ui-languages", "1031,1041"});
    EXPECT_EQ(languages_of(tree), (std::set<std::uint16_t>{1031, 1041}));
    for (std::uint16_t lcid : {1031, 1041}) {
        for (unsigned t = 0; t < vennic::ui_text_count; ++t) {
            const char* key = vennic::ui_text_keys[t];
            const std::uint16_t id = vennic::string_id_of(static_cast<vennic::ui_text>(t));
            EXPECT_EQ(string_of(tree, lcid, id), utf16(ui_text(lcid, key).value())) << lcid << " " << key;
        }
        // The rest of the last block is empty.
        EXPECT_EQ(string_of(tree, lcid, vennic::ui_text_first_string + vennic::ui_text_blocks * 16 - 1), u"");
    }
    // The program's own strings stay in their own language alone.
    const resource_tree original = tree_of(stub_);
    const resource_id names = resource_id::of(pe::string_block_of(2001));
    EXPECT_EQ(tree.at(resource_id::of(pe::rt_string)).at(names),
              original.at(resource_id::of(pe::rt_string)).at(names));

    std::set<std::uint16_t> but_english;
    for (const ui_language& language : ui_languages())
        if (language.lcid != 1033 && language.lcid != 2057) but_english.insert(language.lcid);
    const resource_tree all = built({"--ui-languages", "all"});
    EXPECT_EQ(languages_of(all), but_english);
    EXPECT_EQ(but_english.size(), 25u);
    EXPECT_EQ(string_of(all, 2052, vennic::string_id_of(vennic::ui_text::progress_cancel)), u"取消");

    // English asked by name: the program's own texts, so every string empty.
    const resource_tree english = built({"--ui-languages", "2057"});
    EXPECT_EQ(languages_of(english), (std::set<std::uint16_t>{2057}));
    for (unsigned t = 0; t < vennic::ui_text_count; ++t)
        EXPECT_EQ(string_of(english, 2057, vennic::string_id_of(static_cast<vennic::ui_text>(t))), u"");
}

TEST_F(UiPacking, TheOptionWinsOverTheProjectMember) {
    struct row {
        const char* members;
        std::vector<std::string> options;
        std::set<std::uint16_t> packed;
    };
    const row rows[] = {
        {R"(, "ui_languages": [1041, 1026, 1041])", {}, {1026, 1041}},
        {R"(, "ui_languages": "all")", {}, all_ui_languages()},
        {R"(, "ui_languages": [1041])", {"--ui-languages", "1031"}, {1031}},
        {R"(, "ui_languages": [1041], "branding": {"maker_name": "Q"})", {}, {1041}},
    };
    for (const row& r : rows) {
        write_project(r.members);
        std::vector<std::string> args = {"build", "--project", path("project.json")};
        args.insert(args.end(), r.options.begin(), r.options.end());
        const tool_run got = run(args);
        ASSERT_EQ(got.code, 0) << r.members << got.err;
        EXPECT_EQ(languages_of(tree_of(read_all(path("out.exe")))), r.packed) << r.members;
    }

    // An empty list turns the project's languages off: the same bytes as a
    // project that names none.
    write_project("");
    ASSERT_EQ(run({"build", "--project", path("project.json"), "-o", path("none.exe")}).code, 0);
    write_project(R"(, "ui_languages": "all")");
    ASSERT_EQ(run({"build", "--project", path("project.json"), "--ui-languages", "", "-o", path("off.exe")}).code, 0);
    EXPECT_EQ(read_all(path("off.exe")), read_all(path("none.exe")));
}

// Without languages a branded stub's string tables are its own but for the
// names' block: no block of the texts appears.
TEST_F(UiPacking, NoLanguagesLeaveTheStringTablesAsTheyWere) {
    resource_tree branded = built({"--maker-name", "Q"});
    resource_tree original = tree_of(stub_);
    const resource_id names = resource_id::of(pe::string_block_of(2001));
    branded.at(resource_id::of(pe::rt_string)).erase(names);
    original.at(resource_id::of(pe::rt_string)).erase(names);
    EXPECT_EQ(branded.at(resource_id::of(pe::rt_string)), original.at(resource_id::of(pe::rt_string)));
}

TEST_F(UiPacking, BadLanguagesGiveExitTwoAndOneLine) {
    const std::string project = "project file \"" + path("project.json") + "\": ";
    struct row {
        std::string members;  // a project's, or none
        std::vector<std::string> options;
        std::string message;
    };
    const std::vector<row> rows = {
        {"", {"--ui-languages", "1031,3082"}, "--ui-languages 1031,3082: 3082 is no language of the program's texts "
                                              "(they are 1026, 1028, 1029, 1030, 1031, 1032, 1033, 1034, 1035, "},
        {"", {"--ui-languages", "1031,de"}, "--ui-languages 1031,de: \"de\" is no LCID (a decimal number such as 1031)"},
        {"", {"--ui-languages", "1031,,1041"}, "--ui-languages 1031,,1041: \"\" is no LCID"},
        {"", {"--ui-languages", "99999999999999999999"}, "--ui-languages 99999999999999999999: \"99999999999999999999\" is no LCID"},
        {R"(, "ui_languages": [1031, 65536])", {}, project + "\"ui_languages[1]\": 65536 is no language of the program's texts"},
        {R"(, "ui_languages": ["1031"])", {}, project + "\"ui_languages[0]\" must be an LCID such as 1031"},
        {R"(, "ui_languages": "1031,1041")", {}, project + "\"ui_languages\" must be \"all\" or an array of LCIDs"},
    };
    for (const row& r : rows) {
        std::vector<std::string> args = build(r.options);
        if (!r.members.empty()) {
            write_project(r.members);
            args = {"build", "--project", path("project.json")};
        }
        expect_refused(args, r.message);
    }
    EXPECT_EQ(names_in(dir_), (std::vector<std::string>{"project.json", "setup.exe", "stub.exe"}));
}

// The branding's texts over the table's, the settings file's over the
// project's, each language overridden packed; an English one holds the
// overrides alone.
TEST_F(UiPacking, OverridesReplaceTheTablesTexts) {
    write_all(path("brand.json"), R"({"texts": {"1031": {"progress.text": "Amberlyn {product} wird vorbereitet\u2026"},
                                                "1033": {"progress.cancel": "Stop", "unhandled.text": "Oops"}}})");
    write_project(R"(, "ui_languages": [1041], "branding": {"texts": {"1031": {"progress.text": "P {product}",
                                                                              "progress.cancel": "Halt"}}})");
    ASSERT_EQ(run({"build", "--project", path("project.json"), "--branding", path("brand.json")}).code, 0);
    const resource_tree tree = tree_of(read_all(path("out.exe")));
    EXPECT_EQ(languages_of(tree), (std::set<std::uint16_t>{1031, 1033, 1041}));
    auto id = [](vennic::ui_text t) { return vennic::string_id_of(t); };
    EXPECT_EQ(string_of(tree, 1031, id(vennic::ui_text::progress_text)), u"Amberlyn {product} wird vorbereitet…");
    EXPECT_EQ(string_of(tree, 1031, id(vennic::ui_text::progress_cancel)), u"Halt");
    EXPECT_EQ(string_of(tree, 1031, id(vennic::ui_text::unhandled_text)), utf16(ui_text(1031, "unhandled.text").value()));
    for (unsigned t = 0; t < vennic::ui_text_count; ++t) {
        const auto text = static_cast<vennic::ui_text>(t);
        const std::u16string expected = text == vennic::ui_text::progress_cancel  ? u"Stop"
                                        : text == vennic::ui_text::unhandled_text ? u"Oops"
                                                                                  : u"";
        EXPECT_EQ(string_of(tree, 1033, id(text)), expected) << vennic::ui_text_keys[t];
        EXPECT_EQ(string_of(tree, 1041, id(text)), utf16(ui_text(1041, vennic::ui_text_keys[t]).value()));
    }

    // The sample settings file is one the tool takes.
    const branding sample = read_branding_file(TREVAN_SOURCE_DIR "/resources/branding.sample.json");
    const std::vector<packed_ui_language> packed = packed_ui_languages(sample.ui_texts);
    ASSERT_EQ(packed.size(), 1u);
    EXPECT_EQ(packed[0].lcid, 1031);
}

TEST_F(UiPacking, BadOverridesGiveExitTwoAndOneLine) {
    const std::string file = "branding file \"" + path("brand.json") + "\": ";
    struct row {
        std::string texts;
        std::string message;
    };
    const std::vector<row> rows = {
        {R"({"1031": {"progress.text": "Bitte warten"}})",
         "texts of 1031 German: text \"progress.text\" lacks the placeholder {product}"},
        {R"({"1031": {"progress.txt": "Abbrechen"}})",
         "texts of 1031 German: text \"progress.txt\" is no text of the program"},
        {R"({"3082": {"progress.cancel": "Cancelar"}})",
         file + "texts: 3082 is no language of the program's texts (they are 1026, "},
        {R"({"de": {"progress.cancel": "Abbrechen"}})", file + "texts: \"de\" is no LCID"},
        {R"({"1031": {"progress.cancel": 5}})", file + "texts: 1031: \"progress.cancel\" must be a string"},
        {R"({"1031": "Abbrechen"})", file + "texts: 1031 must be an object of keys and texts"},
    };
    for (const row& r : rows) {
        write_all(path("brand.json"), R"({"texts": )" + r.texts + "}");
        expect_refused(build({"--branding", path("brand.json")}), r.message);
    }
    EXPECT_EQ(names_in(dir_), (std::vector<std::string>{"brand.json", "setup.exe", "stub.exe"}));
}

// list tells the languages the image carries and marks one whose blocks the
// loader would read past, in a container that is sound otherwise.
TEST_F(UiPacking, TheListingShowsTheLanguagesAndMarksDamagedBlocks) {
    ASSERT_EQ(run(build({"--ui-languages", "1041,1031"})).code, 0);
    tool_run listed = run({"list", path("out.exe")});
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_NE(listed.out.find("\n  texts                1031 German, 1041 Japanese\n"), std::string::npos) << listed.out;

    // The stub of a new build: the image with German's first block and
    // Japanese's second cut short by a length that runs past their data.
    const std::string packed = read_all(path("out.exe"));
    std::string image = packed.substr(0, pe::pe_image(packed, "packed").image_end());
    const resource_tree tree = tree_of(image);
    const auto& strings = tree.at(resource_id::of(pe::rt_string));
    auto damage = [&image](const std::string& data, std::size_t length_at) {
        const std::size_t at = image.find(data);
        ASSERT_NE(at, std::string::npos);
        ASSERT_EQ(image.find(data, at + 1), std::string::npos);
        vennic::put_le16(image, at + length_at, 0x7FFF);
    };
    const std::string& german = strings.at(resource_id::of(3008)).at(1031).bytes;
    damage(german, 0);
    const std::string& japanese = strings.at(resource_id::of(3009)).at(1041).bytes;
    damage(japanese, japanese.size() - 2);  // the last string's length
    write_all(path("damaged.exe"), image);
    ASSERT_EQ(run({"build", "--stub", path("damaged.exe"), "--no-check", "executable32", "--no-check", "executable64",
                   "-o", path("out.exe")})
                  .code,
              0);
    listed = run({"list", path("out.exe")});
    EXPECT_EQ(listed.code, 0) << listed.err;
    const std::string german_problem = "block 3008: string 48112 runs past the block's " +
                                       std::to_string(german.size()) + " bytes of data";
    const std::string japanese_problem = "block 3009: string 48143 runs past the block's " +
                                         std::to_string(japanese.size()) + " bytes of data";
    EXPECT_NE(listed.out.find("\n  texts                1031 German (damaged: " + german_problem +
                              "), 1041 Japanese (damaged: " + japanese_problem + ")\n"),
              std::string::npos)
        << listed.out;
    const nlohmann::json stub = nlohmann::json::parse(run({"list", "--json", path("out.exe")}).out)["stub"];
    EXPECT_EQ(stub["ui_languages"], nlohmann::json::parse("[1031, 1041]"));
    EXPECT_EQ(stub["damaged_ui_languages"],
              nlohmann::json({{{"lcid", 1031}, {"problem", german_problem}}, {{"lcid", 1041}, {"problem", japanese_problem}}}));
}

// The language plan says a run shows its texts in, chosen by the program's
// own code from the caller's arguments, the registry's installer language,
// the user's UI language and the languages the stub image carries.
TEST_F(UiPacking, ThePlanChoosesTheLanguageAsTheRunDoes) {
    write_all(path("brand.json"), R"({"texts": {"1033": {"progress.cancel": "Stop"}}})");
    ASSERT_EQ(run(build({"--ui-languages", "1031,1041"}, "de_ja.exe")).code, 0);
    ASSERT_EQ(run(build({"--ui-languages", "1031,1041", "--value", "parameters=/L1041"}, "in_parameters.exe")).code, 0);
    ASSERT_EQ(run(build({"--ui-languages", "2070", "--branding", path("brand.json")}, "pt_en.exe")).code, 0);
    ASSERT_EQ(run(build({}, "none.exe")).code, 0);
    struct row {
        const char* container;
        std::vector<std::string> arguments;
        const char* language;     // --language; none when empty
        const char* ui_language;  // --ui-language; none when empty
        const char* line;
    };
    const row rows[] = {
        {"de_ja.exe", {}, "1041", "1031", "1041 Japanese (installer language)"},
        {"de_ja.exe", {}, "1041", "", "1041 Japanese (installer language)"},
        {"de_ja.exe", {}, "1036", "1031", "1031 German (UI language)"},
        {"de_ja.exe", {}, "", "2055", "1031 German (UI language)"},  // German (Switzerland)
        {"de_ja.exe", {}, "1036", "1049", "1033 English (United States) (English)"},
        // The caller's own /L: nothing is put in front.
        {"de_ja.exe", {"/L1041"}, "1031", "1049", "1033 English (United States) (English)"},
        // The container's parameters are not the caller's arguments.
        {"in_parameters.exe", {}, "1031", "1041", "1031 German (installer language)"},
        {"pt_en.exe", {}, "", "1046", "2070 Portuguese (Portugal) (UI language)"},  // Portuguese (Brazil)
        {"pt_en.exe", {}, "2057", "1046", "1033 English (United States) (installer language)"},
        {"none.exe", {}, "1031", "1031", "1033 English (United States) (English)"},
    };
    for (const row& r : rows) {
        std::vector<std::string> args = {"plan", path(r.container), "--arch", "64"};
        if (*r.language) args.insert(args.end(), {"--language", r.language});
        if (*r.ui_language) args.insert(args.end(), {"--ui-language", r.ui_language});
        args.push_back("--");
        args.insert(args.end(), r.arguments.begin(), r.arguments.end());
        const tool_run planned = run(args);
        EXPECT_EQ(planned.code, 0) << planned.err;
        EXPECT_NE(planned.out.find("\ntexts: " + std::string(r.line) + "\n"), std::string::npos)
            << r.container << " " << r.language << " " << r.ui_language << "\n" << planned.out;
    }
    const tool_run json = run({"plan", path("pt_en.exe"), "--json", "--language", "2057"});
    EXPECT_EQ(nlohmann::json::parse(json.out)["ui_language"],
              nlohmann::json::parse(R"({"lcid": 1033, "reason": "installer language", "carried": [1033, 2070]})"));

    for (const char* bad : {"0", "65536", "de", "1031,1041"}) {
        const tool_run refused = run({"plan", path("de_ja.exe"), "--ui-language", bad});
        EXPECT_EQ(refused.code, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_EQ(refused.err, "trevan-pack: --ui-language " + std::string(bad) +
                                   ": expected an LCID (a decimal number from 1 to 65535, such as 1031)\n");
    }
}

}  // namespace
}  // namespace trevan::pack
