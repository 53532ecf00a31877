// The one text rule of the pack tool: texts given in UTF-8 are stored in the
// ANSI code page named by --code-page (or the project's "code_page"), packed
// as the "code_page" record, and every report shows them as the program
// will read them. The expected bytes are those of Windows' code page tables.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>

#include "container/file_reader.h"
#include "container/walk.h"
#include "container/writer.h"
#include "tests/container/container_fixtures.h"
#include "tests/pack/code_page_cases.h"
#include "tests/pack/file_helpers.h"
#include "tests/pack/run_tool.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

class CodePage : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fresh_test_folder("trevan-code-page-test");
        write_all(path("stub.exe"), fixtures::minimal_pe(4096));
        write_all(path("setup.exe"), "setup");
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    tool_run run(const std::vector<std::string>& args) const { return run_tool(args, dir_); }

    // A build of the extra arguments; the checks of what the program makes
    // of the records are off.
    tool_run build(std::vector<std::string> extra, const std::string& output = "out.exe") const {
        std::vector<std::string> args = {"build", "--stub", path("stub.exe"), "-o", path(output), "--no-check", "stub",
                                         "--no-check", "executable32", "--no-check", "executable64"};
        args.insert(args.end(), extra.begin(), extra.end());
        return run(args);
    }

    SettingsMap settings_of(const std::string& name) const {
        file_reader in(path(name));
        SettingsMap settings;
        EXPECT_TRUE(walk_container(in, settings).ok);
        return settings;
    }

    // The record of setting in list --json's records.
    static json listed_record(const json& listing, const std::string& setting) {
        for (const json& r : listing["records"])
            if (r["setting"] == setting) return r;
        return nullptr;
    }

    fs::path dir_;
};

TEST_F(CodePage, EveryAnsiCodePageStoresTheTextAndTheReportsShowIt) {
    for (const code_page_case& c : code_page_cases) {
        const std::string page = std::to_string(c.code_page), text = c.text;
        SCOPED_TRACE(page);
        // The text as a value, as a setting name and as a stored file name.
        tool_run built = build({"--code-page", page, "--value", "greeting=" + text, "--file",
                                text + ":" + text + ".exe=" + path("setup.exe"), "--json"});
        ASSERT_EQ(built.code, 0) << built.err;
        const SettingsMap settings = settings_of("out.exe");
        EXPECT_EQ(settings.at("greeting"), c.stored);
        EXPECT_EQ(settings.at(c.stored), std::string(c.stored) + ".exe");
        EXPECT_EQ(settings.at("code_page"), page);

        const json report = json::parse(built.out);
        EXPECT_EQ(report["code_page"], c.code_page);
        EXPECT_EQ(report["records"][1]["value"], text);
        EXPECT_EQ(report["records"][2]["setting"], text);
        EXPECT_EQ(report["records"][2]["stored_name"], text + ".exe");
        EXPECT_EQ(report["records"][3]["setting"], "code_page");
        EXPECT_EQ(report["records"][3]["value"], page);

        tool_run listed = run({"list", "--json", path("out.exe")});
        ASSERT_EQ(listed.code, 0) << listed.err;
        const json listing = json::parse(listed.out);
        EXPECT_EQ(listing["code_page"], c.code_page);
        EXPECT_EQ(listed_record(listing, "greeting")["value"], text);
        EXPECT_EQ(listed_record(listing, text)["stored_name"], text + ".exe");
        EXPECT_EQ(listing.count("note"), 0u);
        tool_run text_listing = run({"list", path("out.exe")});
        EXPECT_NE(text_listing.out.find("value  \"greeting\" = \"" + text + "\"\n"), std::string::npos)
            << text_listing.out;
        EXPECT_NE(text_listing.out.find("code page: " + page + "\n"), std::string::npos);

        tool_run extracted = run({"extract", path("out.exe"), "-o", path("x" + page), "--json"});
        ASSERT_EQ(extracted.code, 0) << extracted.err;
        EXPECT_EQ(json::parse(extracted.out)["greeting"], text);
        // The file is named as the program will name it.
        EXPECT_EQ(read_all(dir_ / ("x" + page) / (text + ".exe")), "setup");

        // What the code page cannot hold is refused, naming the text.
        write_all(path("kept.exe"), "previous");
        tool_run refused = build({"--code-page", page, "--value", std::string("greeting=a") + c.lacked}, "kept.exe");
        EXPECT_EQ(refused.code, 2);
        EXPECT_NE(refused.err.find("\"a" + std::string(c.lacked) + "\" cannot be stored in code page " + page),
                  std::string::npos)
            << refused.err;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
        EXPECT_EQ(read_all(path("kept.exe")), "previous");
    }
}

TEST_F(CodePage, TextOutsideAsciiNeedsTheOption) {
    struct refusal {
        std::vector<std::string> args;
        const char* message;
    };
    const refusal refusals[] = {
        {{"--value", "greeting=Café"}, "\"Café\" holds text outside ASCII: name the code page"},
        {{"--value", "Grüße=1"}, "\"Grüße\" holds text outside ASCII"},
        {{"--file", "f:Café.exe=" + path("setup.exe")}, "\"Café.exe\" holds text outside ASCII"},
        {{"--stub-name", "Café.exe"}, "\"Café.exe\" holds text outside ASCII"},
        {{"--value", "code_page=1252"}, "set it with --code-page"},
        {{"--code-page", "65001", "--value", "a=b"}, "--code-page 65001: expected an ANSI code page"},
        {{"--code-page", "1252", "--value", "bad=\xff\xfe"}, "cannot be stored in code page 1252"},
    };
    for (const refusal& r : refusals) {
        tool_run refused = build(r.args);
        EXPECT_EQ(refused.code, 2) << r.message;
        EXPECT_NE(refused.err.find(r.message), std::string::npos) << refused.err;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
        EXPECT_FALSE(fs::exists(path("out.exe"))) << r.message;
    }
    // --code-page names the option in the message of every other refusal.
    EXPECT_NE(build({"--value", "greeting=Café"}).err.find("--code-page"), std::string::npos);
    // ASCII needs none, and no code page is packed then.
    ASSERT_EQ(build({"--value", "greeting=Cafe"}).code, 0);
    EXPECT_EQ(settings_of("out.exe").count("code_page"), 0u);
}

TEST_F(CodePage, TheProjectFileNamesItToo) {
    write_all(path("p.json"), R"({"stub": "stub.exe", "code_page": 1250, "values": {"city": "Łódź"},
                                  "output": "project.exe"})");
    tool_run built = run({"build", "--project", path("p.json"), "--no-check", "stub", "--no-check", "executable32",
                          "--no-check", "executable64"});
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_EQ(settings_of("project.exe").at("city"), "\xa3\xf3\x64\x9f");
    // The command line wins.
    ASSERT_EQ(run({"build", "--project", path("p.json"), "--code-page", "1252", "--no-check", "stub", "--no-check",
                   "executable32", "--no-check", "executable64"})
                  .code,
              2);
    for (const char* member : {R"("1250")", "65001", "-1", "1250.5"}) {
        write_all(path("p.json"), std::string(R"({"stub": "stub.exe", "code_page": )") + member + "}");
        tool_run refused = run({"build", "--project", path("p.json")});
        EXPECT_EQ(refused.code, 2) << member;
        EXPECT_NE(refused.err.find("\"code_page\" must be an ANSI code page"), std::string::npos) << refused.err;
    }
}

// plan takes its arguments in UTF-8 and reads them in the container's code
// page, as the program reads its command line.
TEST_F(CodePage, PlanReadsTheArgumentsInTheContainersCodePage) {
    const std::vector<std::string> records = {"--file", "installer64=" + path("setup.exe"), "--value",
                                              "executable64=%installer64%", "--kind", "plain"};
    std::vector<std::string> with_page = records;
    with_page.insert(with_page.end(), {"--code-page", "1250", "--value", "parameters=/city=Łódź"});
    ASSERT_EQ(build(with_page, "1250.exe").code, 0);
    ASSERT_EQ(build(records, "none.exe").code, 0);

    tool_run planned = run({"plan", path("1250.exe"), "--arch", "64", "--json", "--", "Zażółć"});
    ASSERT_EQ(planned.code, 0) << planned.err;
    const json plan = json::parse(planned.out);
    EXPECT_EQ(plan["code_page"], 1250);
    EXPECT_EQ(plan["runs"][0]["parameters"], "/city=Łódź Zażółć");
    tool_run text = run({"plan", path("1250.exe"), "--arch", "64", "--", "Zażółć"});
    EXPECT_NE(text.out.find("\\setup.exe\" /city=Łódź Zażółć\n"), std::string::npos) << text.out;

    struct refusal {
        const char* file;
        const char* argument;
        const char* message;
    };
    const refusal refusals[] = {
        {"1250.exe", "日本", "\"日本\" cannot be read in the container's code page 1250"},
        {"none.exe", "Café", "\"Café\" hold text outside ASCII, and the container names no code page"},
    };
    for (const refusal& r : refusals) {
        tool_run refused = run({"plan", path(r.file), "--", r.argument});
        EXPECT_EQ(refused.code, 2) << r.file;
        EXPECT_NE(refused.err.find(r.message), std::string::npos) << refused.err;
        EXPECT_EQ(refused.out, "");
    }
}

// A container packed without a code page (by hand, or by an older tool):
// its bytes outside ASCII are not guessed at.
TEST_F(CodePage, WithoutOneBytesOutsideAsciiAreNotGuessedAt) {
    for (const char* named : {"", "abc"}) {
        std::string c;
        append_stub(c, fixtures::minimal_pe(1024), "Trevan.exe");
        append_value_record(c, "greeting", "Caf\xe9");
        if (*named) append_value_record(c, "code_page", named);
        append_tail(c);
        write_all(path("old.exe"), c);

        tool_run listed = run({"list", "--json", path("old.exe")});
        ASSERT_EQ(listed.code, 0) << listed.err;
        const json listing = json::parse(listed.out);
        EXPECT_EQ(listed_record(listing, "greeting")["value"], "Caf\xef\xbf\xbd");
        EXPECT_EQ(listing["code_page"], nullptr);
        EXPECT_NE(listing["note"].get<std::string>().find(*named ? "is not one the tool knows" : "names no code page"),
                  std::string::npos);
        tool_run text = run({"list", path("old.exe")});
        EXPECT_NE(text.out.find("value  \"greeting\" = \"Caf\\xe9\"\n"), std::string::npos) << text.out;
        tool_run extracted = run({"extract", path("old.exe"), "-o", path(std::string("x") + named), "--json"});
        EXPECT_EQ(json::parse(extracted.out)["greeting"], "Caf\xef\xbf\xbd");
    }
}

}  // namespace
}  // namespace trevan::pack
