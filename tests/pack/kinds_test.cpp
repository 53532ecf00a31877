// The kinds of setup programs at pack time: told from real installers'
// bytes, decided or refused by `build`, the checks of what the program will
// make of a container, and `plan`.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>

#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"
#include "tests/pack/file_helpers.h"
#include "tests/pack/run_tool.h"
#include "tools/pack/plan.h"
#include "tools/pack/setup_kind.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;

// Built in the 64-bit tree from tests/installers.
std::string installer(const std::string& name) { return std::string(TREVAN_INSTALLERS) + "/" + name; }

class Kinds : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / "trevan-kinds-test" /
               ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    tool_run run(const std::vector<std::string>& args) const { return run_tool(args, dir_); }

    // build with the shipped program (or stub) and these setup programs
    // as installer32 and installer64, named by the executable settings.
    std::vector<std::string> build(const std::string& setup32, const std::string& setup64,
                                   const std::vector<std::string>& more = {},
                                   const std::string& stub = TREVAN_WIN32_PROGRAM) const {
        std::vector<std::string> args = {"build", "--stub", stub, "--file",
                                         "installer32:" + fs::path(setup32).filename().string() + "=" + setup32,
                                         "--file", "installer64:" + fs::path(setup64).filename().string() + "=" + setup64,
                                         "--value", "executable32=%installer32%", "--value",
                                         "executable64=%installer64%", "-o", path("out.exe")};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    // The "kind" of the built program as `list --json` shows it.
    nlohmann::json listed_kind() const {
        return nlohmann::json::parse(run({"list", "--json", path("out.exe")}).out)["kind"];
    }

    fs::path dir_;
};

TEST_F(Kinds, ToldFromTheSetupProgramsBytes) {
    // NSIS's first header behind a program's image: at a 512-byte boundary,
    // where the loader looks, and off it.
    std::string program = read_all(TREVAN_WIN64_PROGRAM);
    program.resize((program.size() + 511) / 512 * 512, '\0');
    const std::string first_header = std::string("\0\0\0\0\xEF\xBE\xAD\xDENullsoftInst", 20) + std::string(8, '\x01');
    write_all(path("on_block.exe"), program + first_header);
    write_all(path("off_block.exe"), program + std::string(100, '\0') + first_header);
    // Older Inno Setup loaders: "Inno", the table's offset and its
    // complement at 0x30; the table behind the image.
    std::string legacy = fixtures::minimal_pe(4096) + "rDlPtS02\x87" "eVx";
    write_all(path("legacy_inno.exe"), [&] {
        std::string s = legacy;
        s.replace(0x30, 4, "Inno");
        vennic::put_le32(s, 0x34, 4096);
        vennic::put_le32(s, 0x38, ~4096u);
        return s;
    }());
    // The same header with a complement that does not match.
    std::string broken = legacy;
    broken.replace(0x30, 4, "Inno");
    vennic::put_le32(broken, 0x34, 4096);
    write_all(path("broken_inno.exe"), broken);
    write_all(path("text.msi"), "not a compound file");
    // A ".wixburn" section whose data does not begin with Burn's magic.
    std::string burn = read_all(installer("burn_like.exe"));
    const std::size_t burn_header = burn.find(".wixburn");
    ASSERT_NE(burn_header, std::string::npos);
    const std::uint32_t burn_data = *vennic::le_view(burn).u32(burn_header + 20);
    ASSERT_EQ(vennic::le_view(burn).u32(burn_data), 0x00F14300u);
    burn[burn_data] ^= 0x01;
    write_all(path("burn_no_magic.exe"), burn);

    const struct {
        std::string file;
        setup_kind kind;
    } rows[] = {
        {installer("QuillNsis.exe"), setup_kind::nsis},   {installer("QuillMsi.msi"), setup_kind::msi},
        {installer("inno_like.exe"), setup_kind::inno},   {installer("burn_like.exe"), setup_kind::burn},
        {path("legacy_inno.exe"), setup_kind::inno},      {path("broken_inno.exe"), setup_kind::none},
        {path("on_block.exe"), setup_kind::nsis},         {path("off_block.exe"), setup_kind::none},
        {path("text.msi"), setup_kind::none},         {path("burn_no_magic.exe"), setup_kind::none},
        {TREVAN_WIN64_PROGRAM, setup_kind::none},         {installer("cancel.dll"), setup_kind::none},
    };
    for (const auto& r : rows) {
        const detected_kind found = detect_setup_kind(r.file);
        EXPECT_EQ(found.kind, r.kind) << r.file << ": " << found.evidence;
        EXPECT_EQ(found.evidence.empty(), r.kind == setup_kind::none) << r.file;
    }
}

TEST_F(Kinds, BuildSetsTheDetectedKindOrTheChosenOne) {
    const std::string nsis = installer("QuillNsis.exe"), msi = installer("QuillMsi.msi");
    const struct {
        std::vector<std::string> args;
        nlohmann::json kind;
    } rows[] = {
        {build(nsis, nsis), "nsis"},
        {build(msi, msi), "msi"},
        {build(nsis, nsis, {"--kind", "default"}), nullptr},
        {build(nsis, msi, {"--kind", "plain"}), "plain"},
        {build(TREVAN_WIN64_PROGRAM, TREVAN_WIN64_PROGRAM), nullptr},
    };
    for (const auto& r : rows) {
        std::vector<std::string> args = r.args;
        args.push_back("--json");
        tool_run built = run(args);
        ASSERT_EQ(built.code, 0) << built.err;
        EXPECT_EQ(listed_kind(), r.kind) << r.args[6];
        // The build report shows the kind and what a run starts with it.
        const nlohmann::json report = nlohmann::json::parse(built.out);
        EXPECT_EQ(report["kind"], r.kind) << r.args[6];
        EXPECT_NE(report["plans"]["x64"].get<std::string>().find("\\VORBELQ0\\"), std::string::npos) << report["plans"];
    }

    // Programs of two kinds: the choice is the user's.
    fs::remove(path("out.exe"));
    for (const auto& args : {build(nsis, msi), build(TREVAN_WIN64_PROGRAM, nsis), build(nsis, nsis, {"--kind", "wix"})}) {
        tool_run refused = run(args);
        EXPECT_EQ(refused.code, 2) << refused.err;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
        EXPECT_FALSE(fs::exists(path("out.exe")));
    }
    EXPECT_NE(run(build(nsis, msi)).err.find("(\"QuillMsi.msi\" is msi, \"QuillNsis.exe\" is nsis): choose one with --kind"),
              std::string::npos);
}

// Each mistake stops the build with one line that names the setting and no
// output; --no-check with that name packs it all the same.
TEST_F(Kinds, ChecksAtPackTime) {
    const std::string setup = installer("QuillNsis.exe");
    write_all(path("bare.exe"), fixtures::minimal_pe(4096));
    const struct {
        std::vector<std::string> more;
        std::string check, message;
        std::string stub = TREVAN_WIN32_PROGRAM;
    } rows[] = {
        {{"--value", "executable64=%instaler64%"}, "executable64", "\"%instaler64%\" refers to %instaler64%, which is no setting"},
        {{"--value", "executable32="}, "executable32", "is missing"},
        {{"--value", "executable32=Setup.exe"}, "executable32", "\"Setup.exe\" names \"Setup.exe\", which is no file record"},
        {{"--value", "parameters=/S /V\"A=%product%\""}, "parameters", "refers to %product%, which is no setting"},
        {{"--value", "msilog=on"}, "msilog", "\"on\" is not \"ON\""},
        {{"--value", "kind=wix"}, "kind", "\"wix\" is not a kind the program knows"},
        // A setting that names an empty one names no file record.
        {{"--value", "nothing=", "--value", "executable32=%nothing%"}, "executable32",
         "\"%nothing%\" names \"\", which is no file record"},
        {{"--value", "allowed_options=/l /qn"}, "allowed_options", "\"/qn\" is not an option a kind refuses"},
        {{"--value", "v=" + std::string(20000, 'v'), "--value", "parameters=%v% %v%"}, "parameters",
         "expands to more than 32767 characters"},
        {{}, "stub", "is not a Trevan program: it does not hold the tag of the container's tail", setup},
        {{}, "stub", "is not a Trevan program: it does not hold the tag", path("bare.exe")},
    };
    for (const auto& r : rows) {
        std::vector<std::string> args = build(setup, setup, r.more, r.stub);
        tool_run refused = run(args);
        EXPECT_EQ(refused.code, 2) << r.check;
        EXPECT_EQ(refused.err.rfind("trevan-pack: " + r.check + ": ", 0), 0u) << refused.err;
        EXPECT_NE(refused.err.find(r.message), std::string::npos) << refused.err;
        EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
        EXPECT_FALSE(fs::exists(path("out.exe"))) << r.check;

        args.insert(args.end(), {"--no-check", r.check});
        tool_run packed = run(args);
        EXPECT_EQ(packed.code, 0) << r.check << ": " << packed.err;
        fs::remove(path("out.exe"));
    }
    // References to what every run sets are settings too.
    EXPECT_EQ(run(build(setup, setup, {"--value", "parameters=/D=%source%\\x %commandline%"})).code, 0);
    fs::remove(path("out.exe"));
    EXPECT_EQ(run(build(setup, setup, {"--value", "allowed_options=/l, PATCH /LOADINF /burn."})).code, 0);
}

TEST_F(Kinds, PlanShowsWhatARunStarts) {
    const std::string nsis = installer("QuillNsis.exe");
    ASSERT_EQ(run(build(nsis, nsis, {"--value", "parameters=/NCRC"})).code, 0);
    const std::string work = "C:\\Users\\Setup\\AppData\\Local\\Temp\\VORBELQ0\\";

    tool_run text = run({"plan", path("out.exe"), "--arch", "64", "--", "/s", "/D=C:\\Program Files\\Quill"});
    ASSERT_EQ(text.code, 0) << text.err;
    EXPECT_NE(text.out.find("kind: nsis\n64-bit Windows (executable64):\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  command line  \"" + work + "QuillNsis.exe\" /NCRC /S /D=C:\\Program Files\\Quill\n"),
              std::string::npos)
        << text.out;
    EXPECT_EQ(text.out.find("32-bit"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("unattended: yes (/S)"), std::string::npos) << text.out;

    // Without a kind: the program's own dialect, the registry's language in front.
    ASSERT_EQ(run(build(nsis, nsis, {"--kind", "default", "--value", "msilog=ON"})).code, 0);
    tool_run json = run({"plan", path("out.exe"), "--json", "--language", "1031", "--", "/S"});
    ASSERT_EQ(json.code, 0) << json.err;
    const nlohmann::json plan = nlohmann::json::parse(json.out);
    EXPECT_EQ(plan["kind"], nullptr);
    ASSERT_EQ(plan["runs"].size(), 2u);
    EXPECT_EQ(plan["runs"][1]["architecture"], 32);
    EXPECT_EQ(plan["runs"][1]["start"], "directly");
    EXPECT_EQ(plan["runs"][1]["silent"], true);
    EXPECT_EQ(plan["runs"][1]["command_line"],
              "\"" + work + "QuillNsis.exe\" /L1031 /S /V\"/l*v \\\"C:\\Users\\Setup\\AppData\\Local\\Temp\\"
              "KELMO_msi.log.txt\\\" \"");

    // The arguments after -- are quoted as a Windows caller quotes them.
    ASSERT_EQ(run(build(nsis, nsis, {"--kind", "inno"})).code, 0);
    tool_run quoted = run({"plan", path("out.exe"), "--arch", "64", "--", "/DIR=C:\\Inno Custom Dir", "a\"b\\\\", "/S"});
    ASSERT_EQ(quoted.code, 0) << quoted.err;
    EXPECT_NE(quoted.out.find("QuillNsis.exe\" \"/DIR=C:\\Inno Custom Dir\" \"a\\\"b\\\\\\\\\" /VERYSILENT "),
              std::string::npos)
        << quoted.out;
    // What the run would refuse, it shows.
    tool_run refused = run({"plan", path("out.exe"), "--arch", "64", "--", "/LOG=C:\\Windows\\x.sys"});
    ASSERT_EQ(refused.code, 0) << refused.err;
    EXPECT_NE(refused.out.find("  nothing starts: \"Option not allowed\" box, exit code 1\n  box text      "
                               "\"/LOG=C:\\Windows\\x.sys\" is not passed on: the setup program's options are set "
                               "by the vendor.\n"),
              std::string::npos)
        << refused.out;

    tool_run bad = run({"plan", path("out.exe"), "--arch", "16"});
    EXPECT_EQ(bad.code, 2);
    EXPECT_EQ(run({"plan", path("missing.exe")}).code, 2);
}

// The quoting CommandLineToArgvW reads back: blanks, tabs and quotation
// marks need quotation marks, and backslashes count only before one.
TEST(PlanArguments, AreQuotedAsAWindowsCallerQuotesThem) {
    const struct {
        std::vector<std::string> arguments;
        std::string text;
    } rows[] = {
        {{}, ""},
        {{"/S", "/D=C:\\x"}, "/S /D=C:\\x"},
        {{"/DIR=C:\\Inno Custom Dir"}, "\"/DIR=C:\\Inno Custom Dir\""},
        {{""}, "\"\""},
        {{"a\"b"}, "\"a\\\"b\""},
        {{"C:\\dir\\"}, "C:\\dir\\"},
        {{"C:\\my dir\\"}, "\"C:\\my dir\\\\\""},
        {{"a\\\"b\\\\"}, "\"a\\\\\\\"b\\\\\\\\\""},
        {{"tab\there"}, "\"tab\there\""},
        {{"%source%", "x y"}, "%source% \"x y\""},
    };
    for (const auto& r : rows) EXPECT_EQ(windows_command_line(r.arguments), r.text) << r.text;
}

// A container whose parameters multiply a large value: the plan stops at
// the limit of a command line, in one line and little memory.
TEST_F(Kinds, APlanStopsAtTheCommandLineLimit) {
    std::string references;
    for (int i = 0; i < 10000; ++i) references += "%v%";
    const std::string bomb = path("bomb.exe");
    build_container(TREVAN_WIN32_PROGRAM,
                    {file_record("installer64", "", installer("QuillNsis.exe")),
                     value_record("executable64", "%installer64%"), value_record("executable32", "%installer64%"),
                     value_record("v", std::string(1u << 20, 'v')), value_record("v2", std::string(1u << 20, 'w')),
                     value_record("parameters", references)},
                    bomb, {});
    ASSERT_GT(fs::file_size(bomb), 2u << 20);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"plan", bomb},
                                                 std::vector<std::string>{"plan", bomb, "--json", "--", "/S"}}) {
        const tool_run planned = run_tool(args, dir_, 256u << 20);
        EXPECT_EQ(planned.code, 2) << planned.err;
        EXPECT_EQ(std::count(planned.err.begin(), planned.err.end(), '\n'), 1) << planned.err;
        EXPECT_NE(planned.err.find("would pass the 32767 characters Windows takes"), std::string::npos) << planned.err;
        EXPECT_EQ(planned.out, "");
    }
}

}  // namespace
}  // namespace trevan::pack
