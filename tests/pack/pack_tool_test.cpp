// trevan-pack as a program: round trips, bad input, determinism, exit codes.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <optional>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "container/file_reader.h"
#include "container/format.h"
#include "container/walk.h"
#include "container/writer.h"
#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"
#include "tests/pack/file_helpers.h"
#include "tests/pe/pe_fixtures.h"
#include "tools/pe/string_table.h"
#include "tests/pack/run_tool.h"
#include "tools/pack/builder.h"

namespace trevan {
namespace {

using pack::names_in;
using pack::read_all;
using pack::tool_run;
using pack::write_all;

namespace fs = std::filesystem;
using fixtures::pseudo_random_bytes;

class PackTool : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = pack::fresh_test_folder("trevan-pack-test");
        write_all(path("stub.exe"), fixtures::minimal_pe(4096));
        write_all(path("big.bin"), big_);
        write_all(path("small.txt"), "small\n");
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    tool_run run(const std::vector<std::string>& args) const { return pack::run_tool(args, dir_); }

    // The stub is a bare image and no setting names a setup program: the
    // checks of what the program makes of a container are off.
    std::vector<std::string> build_args(const std::string& output) const {
        return {"build", "--stub", path("stub.exe"), "--value", "a=1", "--file", "installer64:Setup_x64.exe=" + path("big.bin"),
                "--value", "parameters=/V\"X=1   Y=2\"", "--file", "installer32=" + path("small.txt"), "--value", "a=2",
                "-o", output, "--no-check", "stub", "--no-check", "executable32", "--no-check", "executable64"};
    }

    fs::path dir_;
    std::string big_ = pseudo_random_bytes(5u << 20, 21);
};

TEST_F(PackTool, BuildListVerifyExtractRoundTrip) {
    tool_run built = run(build_args(path("out.exe")));
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_EQ(built.err, "");

    // Records in command-line order; the walk meets them backwards.
    file_reader in(path("out.exe"));
    SettingsMap settings;
    walk_result walked = walk_container(in, settings);
    EXPECT_TRUE(walked.ok);
    EXPECT_EQ(walked.chunks, 20u);
    EXPECT_EQ(settings, (SettingsMap{{"a", "2"}, {"parameters", "/V\"X=1   Y=2\""},
                                     {"installer64", "Setup_x64.exe"}, {"installer32", "small.txt"}}));

    tool_run listed = run({"list", path("out.exe")});
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_NE(listed.out.find("     1  tail"), std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("file   \"installer64\" = \"Setup_x64.exe\" (5242880 bytes)"), std::string::npos);
    EXPECT_NE(listed.out.find("value  \"a\" = \"1\"  [ignored: set before]"), std::string::npos);
    EXPECT_NE(listed.out.find("result: true"), std::string::npos);
    tool_run json = run({"list", "--json", path("out.exe")});
    EXPECT_EQ(json.code, 0);
    const nlohmann::json listed_json = nlohmann::json::parse(json.out);
    EXPECT_EQ(listed_json["chunks"].size(), 20u);
    EXPECT_EQ(listed_json["chunks"][0], nlohmann::json::parse(R"({"index": 1, "role": "tail", "offset": )" +
                                                               std::to_string(read_all(path("out.exe")).size() - 42) +
                                                               R"(, "length": 22, "digest": "ok"})"));
    // Walk order: a=2, installer32, parameters, installer64, a=1, the stub.
    EXPECT_EQ(listed_json["records"][2], nlohmann::json::parse(R"({"kind": "value", "tag": "value",
        "setting": "parameters", "value": "/V\"X=1   Y=2\"", "setting_added": true})"));
    EXPECT_EQ(listed_json["records"][1], nlohmann::json::parse(R"({"kind": "file", "tag": "file",
        "setting": "installer32", "stored_name": "small.txt", "size": 6, "setting_added": true})"));
    EXPECT_EQ(listed_json["records"][4]["setting_added"], false);
    EXPECT_EQ(listed_json["records"][5]["setting"], "stub");
    EXPECT_EQ(listed_json["result"], true);
    EXPECT_EQ(listed_json["code_page"], nullptr);

    tool_run verified = run({"verify", path("out.exe")});
    EXPECT_EQ(verified.code, 0) << verified.err;
    EXPECT_EQ(verified.out, "ok: 20 chunks, 6 records\n");
    EXPECT_EQ(nlohmann::json::parse(run({"verify", "--json", path("out.exe")}).out),
              nlohmann::json::parse(R"({"result": true, "end": "stub", "reason": "the walk reached the stub record",
                                        "chunks": 20, "records": 6})"));

    tool_run extracted = run({"extract", path("out.exe"), "-o", path("x")});
    ASSERT_EQ(extracted.code, 0) << extracted.err;
    EXPECT_EQ(extracted.out, "a=2\ninstaller32=small.txt\ninstaller64=Setup_x64.exe\nparameters=/V\"X=1   Y=2\"\n");
    EXPECT_EQ(names_in(path("x")), (std::vector<std::string>{"Setup_x64.exe", "small.txt"}));
    EXPECT_EQ(read_all(path("x/Setup_x64.exe")), big_);
    EXPECT_EQ(read_all(path("x/small.txt")), "small\n");

    // A folder that holds anything is left alone unless --force says so;
    // then an existing file is replaced.
    write_all(path("x/small.txt"), std::string(100, 'o'));
    tool_run refused = run({"extract", path("out.exe"), "-o", path("x")});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find(": it is not empty (--force writes into it"), std::string::npos) << refused.err;
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(read_all(path("x/small.txt")), std::string(100, 'o'));
    EXPECT_EQ(run({"extract", path("out.exe"), "-o", path("x"), "--force"}).code, 0);
    EXPECT_EQ(read_all(path("x/small.txt")), "small\n");
}

TEST_F(PackTool, SameInputsGiveTheSameBytes) {
    ASSERT_EQ(run(build_args(path("one.exe"))).code, 0);
    ASSERT_EQ(run(build_args(path("two.exe"))).code, 0);
    std::string one = read_all(path("one.exe"));
    EXPECT_EQ(one, read_all(path("two.exe")));
    // The stub's bytes stand unchanged at offset 0.
    EXPECT_EQ(one.substr(0, 4096), read_all(path("stub.exe")));
    EXPECT_EQ(names_in(dir_).size(), 7u);  // no temporaries left
}

TEST_F(PackTool, BadInputIsRefusedWithoutOutput) {
    write_all(path("signed.exe"), fixtures::minimal_pe(4096, true));
    write_all(path("text.exe"), "MZ but not much else");
    ASSERT_EQ(run(build_args(path("packed.exe"))).code, 0);
    // Sparse files: large, but nothing is read from them.
    for (const char* name : {"huge1.bin", "huge2.bin"}) {
        write_all(path(name), "");
        fs::resize_file(path(name), format::max_chunk_length);
    }
    write_all(path("over.bin"), "");
    fs::resize_file(path("over.bin"), std::uint64_t(format::max_chunk_length) + 1);

    struct bad_case {
        std::vector<std::string> args;
        const char* message;
    };
    const std::string out = path("out.exe");
    const std::string stub = path("stub.exe");
    const bad_case cases[] = {
        {{"--stub", path("signed.exe")}, "is signed already"},
        {{"--stub", path("text.exe")}, "is not a Windows executable"},
        {{"--stub", path("packed.exe")}, "carries a container already"},
        {{"--stub", stub, "--file", "f=" + path("missing.bin")}, "no such file"},
        {{"--stub", stub, "--file", "f=" + path("over.bin")}, "more than the chunk limit"},
        {{"--stub", stub, "--file", "a=" + path("huge1.bin"), "--file", "b=" + path("huge2.bin")},
         "must stay below 4 GiB"},
        {{"--stub", stub, "--file", "f:sub\\x.exe=" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f:c:x.exe=" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f:..=" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f:x. =" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f:CON=" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f:nul.txt=" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f:Com1.log=" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f:x.=" + path("small.txt")}, "is not a bare file name"},
        {{"--stub", stub, "--stub-name", "a/b.exe"}, "is not a bare file name"},
        {{"--stub", stub, "--stub-name", "LPT1"}, "is not a bare file name"},
        {{"--stub", stub, "--file", "f" + path("small.txt")}, "expected NAME[:STORED]=PATH"},
        {{"--stub", stub, "--value", "novalue"}, "expected NAME=TEXT"},
        {{"--file", "f=" + path("small.txt")}, "--stub is required"},
    };
    for (const bad_case& c : cases) {
        write_all(out, "previous");
        std::vector<std::string> args = {"build"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"-o", out});
        tool_run r = run(args);
        EXPECT_EQ(r.code, 2) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(read_all(out), "previous") << c.message;
    }
    EXPECT_EQ(names_in(dir_).size(), 12u);  // no temporaries left

    // An output that cannot be written.
    for (const std::string& target : {path("no/such/folder/out.exe"), dir_.string()}) {
        tool_run r = run({"build", "--stub", stub, "-o", target});
        EXPECT_EQ(r.code, 2) << target;
        EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(path("no")));
}

// The listing of a container that fails shows what the walk read before the
// failure: a record whose data does not match is not among the records.
TEST_F(PackTool, AListingStopsWhereTheWalkFailed) {
    std::string c;
    append_stub(c, fixtures::minimal_pe(1024), "Trevan.exe");
    append_value_record(c, "before", "1");
    append_file_record(c, "f", "f.exe", "file data");
    append_value_record(c, "a", "1");  // met first
    append_tail(c);
    const std::size_t data_at = c.find("file data");
    c[data_at] ^= 0x01;
    write_all(path("bad.exe"), c);
    tool_run listed = run({"list", "--json", path("bad.exe")});
    EXPECT_EQ(listed.code, 1);
    const nlohmann::json listing = nlohmann::json::parse(listed.out);
    ASSERT_EQ(listing["records"].size(), 1u) << listed.out;
    EXPECT_EQ(listing["records"][0]["setting"], "a");
    EXPECT_EQ(listing["chunks"].back(), nlohmann::json::parse(R"({"index": 8, "role": "file data", "offset": )" +
                                                               std::to_string(data_at) +
                                                               R"(, "length": 9, "digest": "bad"})"));
    EXPECT_EQ(listing["result"], false);
    EXPECT_EQ(listing["end"], "digest mismatch");
}

// A mistyped command is named, not taken for a missing one.
TEST_F(PackTool, AnUnknownCommandIsNamed) {
    for (const char* command : {"lsit", "Build", "verify-json"}) {
        tool_run r = run({command, path("out.exe")});
        EXPECT_EQ(r.code, 2) << command;
        EXPECT_EQ(r.err, std::string("trevan-pack: unknown command \"") + command +
                             "\": expected build, list, verify, extract or plan (see trevan-pack --help)\n");
    }
    EXPECT_NE(run({}).err.find("A subcommand is required"), std::string::npos);
}

TEST_F(PackTool, VerifyAndExtractReportFailures) {
    ASSERT_EQ(run(build_args(path("out.exe"))).code, 0);
    std::string bytes = read_all(path("out.exe"));
    bytes[bytes.size() - 100] ^= 0x01;  // a chunk near the end, read early
    write_all(path("bad.exe"), bytes);

    tool_run verified = run({"verify", path("bad.exe")});
    EXPECT_EQ(verified.code, 1);
    EXPECT_NE(verified.err.find("verification failed: chunk"), std::string::npos) << verified.err;
    EXPECT_NE(verified.err.find("does not match its digest"), std::string::npos) << verified.err;
    tool_run verified_json = run({"verify", "--json", path("bad.exe")});
    EXPECT_EQ(verified_json.code, 1);
    const nlohmann::json verdict = nlohmann::json::parse(verified_json.out);
    EXPECT_EQ(verdict["result"], false);
    EXPECT_EQ(verdict["end"], "digest mismatch");
    EXPECT_EQ(verified.err, "trevan-pack: verification failed: " + verdict["reason"].get<std::string>() + "\n");
    EXPECT_EQ(verified_json.err, verified.err);
    EXPECT_EQ(run({"list", path("bad.exe")}).code, 1);

    // Nothing is left behind by a failed extraction, not even the folder.
    tool_run extracted = run({"extract", path("bad.exe"), "-o", path("x")});
    EXPECT_EQ(extracted.code, 1);
    EXPECT_EQ(extracted.out, "");
    EXPECT_FALSE(fs::exists(path("x")));

    EXPECT_EQ(run({"verify", path("stub.exe")}).code, 1);
    tool_run missing = run({"verify", path("missing.exe")});
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);

    // A stored name the program could not create: refused, nothing written.
    std::string crafted;
    append_stub(crafted, fixtures::minimal_pe(1024), "Trevan.exe");
    append_file_record(crafted, "bad", "sub\\bad.exe", "2");
    append_file_record(crafted, "ok", "ok.exe", "1");  // met first
    append_tail(crafted);
    write_all(path("crafted.exe"), crafted);
    fs::create_directories(path("y"));
    tool_run refused = run({"extract", path("crafted.exe"), "-o", path("y")});
    EXPECT_EQ(refused.code, 2);
    EXPECT_NE(refused.err.find("not a bare file name"), std::string::npos) << refused.err;
    EXPECT_TRUE(names_in(path("y")).empty());
}

// A walk that cannot reach the stub record fails: behind the tail comes a
// chunk with an impossible length, where the walk expects a tag.
TEST_F(PackTool, AChunkThatCannotBeReadFailsVerification) {
    std::string c;
    append_stub(c, fixtures::minimal_pe(1024), "Trevan.exe");
    append_file_record(c, "f", "f.exe", "data");
    append_value_record(c, "a", "1");
    append_raw_chunk(c, "", 0xFFFFFFFFu, md5_of(""));
    append_tail(c);
    write_all(path("short.exe"), c);
    tool_run r = run({"verify", path("short.exe")});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("verification failed: chunk 2 (tag)"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("exceeds the chunk limit"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
    EXPECT_EQ(run({"list", path("short.exe")}).code, 1);
    EXPECT_EQ(run({"extract", path("short.exe"), "-o", path("x")}).code, 1);
    EXPECT_FALSE(fs::exists(path("x")));
}

// The tool finds the container where the program does: at the end of an
// unsigned file, where the certificate table of a signed one begins; and it
// says why it refuses anything else.
TEST_F(PackTool, SharesTheProgramsAnchor) {
    auto one_value = [](const std::string& image, const std::string& who) {
        std::string c;
        append_stub(c, image, "Trevan.exe");
        append_value_record(c, "who", who);
        append_tail(c);
        return c;
    };
    const std::string signed_part = one_value(fixtures::minimal_pe(2048), "signed");
    std::string table = pseudo_random_bytes(1000, 5) + one_value(fixtures::minimal_pe(512), "hidden");
    write_all(path("signed.exe"), fixtures::with_certificate_table(signed_part, 6, table));
    write_all(path("behind.exe"), signed_part + "appended");
    std::string outside = fixtures::with_certificate_table(signed_part, 0, table);
    write_all(path("outside.exe"), outside.substr(0, outside.size() - 1));

    tool_run listed = run({"list", path("signed.exe")});
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_NE(listed.out.find("value  \"who\" = \"signed\""), std::string::npos) << listed.out;
    EXPECT_EQ(listed.out.find("hidden"), std::string::npos) << listed.out;

    struct refusal {
        const char* file;
        const char* reason;
    };
    const refusal refusals[] = {
        {"behind.exe", "verification failed: no container: no tail chunk \"chunked-installer-tail\" ends at the end "
                       "of the file"},
        {"outside.exe", "verification failed: its security directory (certificate table at offset"},
        {"outside.exe", "points outside the file"},
    };
    for (const refusal& r : refusals) {
        tool_run verified = run({"verify", path(r.file)});
        EXPECT_EQ(verified.code, 1) << r.file;
        EXPECT_NE(verified.err.find(r.reason), std::string::npos) << verified.err;
    }
}

TEST_F(PackTool, StoredNamesThatAreNotBareFailVerification) {
    for (const char* name : {"..\\x", "a/../../x", "CON", "x.", "nul.txt"}) {
        std::string c;
        append_stub(c, fixtures::minimal_pe(1024), "Trevan.exe");
        append_file_record(c, "f", name, "planted");
        append_tail(c);
        write_all(path("named.exe"), c);
        tool_run verified = run({"verify", path("named.exe")});
        EXPECT_EQ(verified.code, 1) << name;
        EXPECT_NE(verified.err.find("is not a bare file name"), std::string::npos) << verified.err;
        tool_run extracted = run({"extract", path("named.exe"), "-o", path("x")});
        EXPECT_EQ(extracted.code, 2) << name;
        EXPECT_FALSE(fs::exists(path("x"))) << name;
        EXPECT_FALSE(fs::exists(dir_ / "x")) << name;
    }
}

TEST_F(PackTool, AFolderAsTheInputIsBadInput) {
    fs::create_directories(path("folder.exe"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", path("folder.exe")}, {"verify", path("folder.exe")},
          {"extract", path("folder.exe"), "-o", path("x")}}) {
        tool_run r = run(args);
        EXPECT_EQ(r.code, 2) << args[0];
        EXPECT_NE(r.err.find("it is a folder"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(path("x")));
}

// Every place a file goes to is checked before anything is written: a folder
// in the way of the last file leaves the target folder exactly as it was.
TEST_F(PackTool, ExtractChecksEveryTargetFirstAndLeavesNothingHalfDone) {
    ASSERT_EQ(run(build_args(path("out.exe"))).code, 0);
    // The walk meets installer32 (small.txt) first, installer64 last.
    fs::create_directories(path("x/Setup_x64.exe"));
    write_all(path("x/small.txt"), "previous");
    tool_run r = run({"extract", path("out.exe"), "-o", path("x"), "--force"});
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("it is a folder"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(names_in(path("x")), (std::vector<std::string>{"Setup_x64.exe", "small.txt"}));
    EXPECT_EQ(read_all(path("x/small.txt")), "previous");
    EXPECT_TRUE(fs::is_empty(path("x/Setup_x64.exe")));

    // A link in the way is replaced by the file, never written through.
    fs::remove(path("x/Setup_x64.exe"));
    fs::remove(path("x/small.txt"));
    write_all(path("target.txt"), "not mine to change");
    fs::create_symlink(path("target.txt"), path("x/small.txt"));
    ASSERT_EQ(run({"extract", path("out.exe"), "-o", path("x"), "--force"}).code, 0);
    EXPECT_FALSE(fs::is_symlink(path("x/small.txt")));
    EXPECT_EQ(read_all(path("x/small.txt")), "small\n");
    EXPECT_EQ(read_all(path("target.txt")), "not mine to change");
    EXPECT_EQ(names_in(path("x")), (std::vector<std::string>{"Setup_x64.exe", "small.txt"}));
}

// A huge value with line ends and escape sequences: list and extract show a
// bounded, escaped prefix with the full length, one line per record.
TEST_F(PackTool, ValuesAreShownCutAndEscaped) {
    const std::string forged = "\nresult: true (forged)\n\x1b[2J";
    std::string huge = forged + std::string(3u << 20, 'v');
    std::string c;
    append_stub(c, fixtures::minimal_pe(1024), "Trevan.exe");
    append_value_record(c, "huge", huge);
    append_value_record(c, "bell\a", "ok");
    append_tail(c);
    write_all(path("huge.exe"), c);
    const std::string length = "(" + std::to_string(huge.size()) + " bytes)";

    tool_run listed = run({"list", path("huge.exe")});
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_EQ(listed.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(listed.out.find("\nresult: true (forged)"), std::string::npos);
    EXPECT_NE(listed.out.find("value  \"huge\" = \"\\nresult: true (forged)\\n\\x1b[2Jvvv"), std::string::npos)
        << listed.out.substr(0, 2000);
    EXPECT_NE(listed.out.find("vvv\"... " + length + "\n"), std::string::npos);
    EXPECT_NE(listed.out.find("value  \"bell\\x07\" = \"ok\""), std::string::npos);
    EXPECT_LT(listed.out.size(), 8000u);

    tool_run json = run({"list", "--json", path("huge.exe")});
    EXPECT_EQ(json.code, 0);
    EXPECT_EQ(nlohmann::json::parse(json.out)["records"][1]["value_length"], huge.size());
    EXPECT_LT(json.out.size(), 16000u);

    tool_run extracted = run({"extract", path("huge.exe"), "-o", path("x")});
    EXPECT_EQ(extracted.code, 0) << extracted.err;
    EXPECT_EQ(std::count(extracted.out.begin(), extracted.out.end(), '\n'), 2) << extracted.out.substr(0, 2000);
    EXPECT_NE(extracted.out.find("bell\\x07=ok\n"), std::string::npos);
    EXPECT_NE(extracted.out.find("huge=\\nresult: true (forged)\\n\\x1b[2Jvvv"), std::string::npos);
    EXPECT_NE(extracted.out.find("vvv... " + length + "\n"), std::string::npos);
    tool_run extracted_json = run({"extract", "--json", path("huge.exe"), "-o", path("y")});
    EXPECT_EQ(nlohmann::json::parse(extracted_json.out)["huge"]["length"], huge.size());
    EXPECT_LT(extracted_json.out.size(), 16000u);
}

// Stubs whose headers claim far more than the file holds: what list, verify
// and extract take stays within the file's size. Each runs with its address
// space capped well below what the claims would cost.
TEST_F(PackTool, HostileStubsCostNoMoreThanTheirFile) {
    using vennic::put_le16;
    using vennic::put_le32;
    // 32,000 names of one type share a language directory and its data
    // entry of 64 KiB: read naively, 2 GiB of copies.
    constexpr std::uint32_t names = 32000, data_size = 64u << 10;
    const std::string shared = pe::image_of({".rsrc"}, [&](std::uint32_t rva) {
        const std::uint32_t name_table = 24, language_table = name_table + 16 + 8 * names;
        const std::uint32_t data_entry = language_table + 24, data = data_entry + 16;
        std::string section(data + data_size, 'd');
        std::fill(section.begin(), section.begin() + data, '\0');
        put_le16(section, 14, 1);  // the root: one numbered type
        put_le32(section, 16, 10);
        put_le32(section, 20, 0x80000000u | name_table);
        put_le16(section, name_table + 14, static_cast<std::uint16_t>(names));
        for (std::uint32_t i = 0; i < names; ++i) {
            put_le32(section, name_table + 16 + 8 * i, i + 1);
            put_le32(section, name_table + 20 + 8 * i, 0x80000000u | language_table);
        }
        put_le16(section, language_table + 14, 1);
        put_le32(section, language_table + 16, 0x409);
        put_le32(section, language_table + 20, data_entry);
        put_le32(section, data_entry, rva + data);
        put_le32(section, data_entry + 4, data_size);
        return section;
    });
    // 300 types of 300 names of 300 languages, each level one directory
    // that all entries above it share, all leading to one data entry of no
    // bytes: 27 million resources that no data bytes pay for.
    constexpr std::uint32_t fan = 300, table = 16 + 8 * fan;
    const std::string fanned = pe::image_of({".rsrc"}, [&](std::uint32_t rva) {
        const std::uint32_t data_entry = 3 * table;
        std::string section(data_entry + 16, '\0');
        for (std::uint32_t level = 0; level < 3; ++level) {
            const std::uint32_t at = level * table;
            put_le16(section, at + 14, static_cast<std::uint16_t>(fan));
            const std::uint32_t next = level < 2 ? (0x80000000u | (at + table)) : data_entry;
            for (std::uint32_t i = 0; i < fan; ++i) {
                put_le32(section, at + 16 + 8 * i, i + 1);
                put_le32(section, at + 20 + 8 * i, next);
            }
        }
        put_le32(section, data_entry, rva);  // size 0
        return section;
    });
    // One section of 255 MiB in a file of 1 KiB.
    pe::resource_tree names_only;
    std::vector<std::u16string> strings(pe::strings_per_block);
    strings[pe::string_index_of(2002)] = u"Claimed";
    names_only[pe::resource_id::of(pe::rt_string)][pe::resource_id::of(pe::string_block_of(2002))][0x409] = {
        pe::write_string_block(strings), 0};
    std::string claiming = pe::image_of({".rsrc"}, names_only);
    put_le32(claiming, fixtures::pe_offsets_of(claiming)->section_table + 16, 255u << 20);

    struct hostile {
        const char* name;
        std::string image;
        const char* identity;
    };
    const hostile stubs[] = {
        {"shared.exe", shared, "  the stub has a damaged resource directory\n"},
        {"fanned.exe", fanned, "  the stub has a damaged resource directory\n"},
        {"claiming.exe", claiming, "  product name (2002)  \"Claimed\"\n"},
    };
    constexpr std::uint64_t memory_limit = 192u << 20;
    for (const hostile& h : stubs) {
        std::string c;
        append_stub(c, h.image, "Trevan.exe");
        append_file_record(c, "installer64", "Setup_x64.exe", "setup");
        append_tail(c);
        write_all(path(h.name), c);
        tool_run listed = pack::run_tool({"list", path(h.name)}, dir_, memory_limit);
        EXPECT_EQ(listed.code, 0) << h.name << ": " << listed.err;
        EXPECT_NE(listed.out.find(h.identity), std::string::npos) << listed.out;
        EXPECT_EQ(pack::run_tool({"verify", path(h.name)}, dir_, memory_limit).code, 0) << h.name;
        tool_run extracted =
            pack::run_tool({"extract", path(h.name), "-o", path("x"), "--force"}, dir_, memory_limit);
        EXPECT_EQ(extracted.code, 0) << h.name << ": " << extracted.err;
        EXPECT_EQ(read_all(path("x/Setup_x64.exe")), "setup") << h.name;
    }
}

// Counts what a JSON listing holds while nlohmann reads it, without
// keeping it: the elements of "chunks" and "records", the top level's
// "result" and "code_page", and whether the whole text is one JSON value.
struct listing_counter : nlohmann::json_sax<nlohmann::json> {
    std::uint64_t chunks = 0, other_records = 0, records = 0;
    std::optional<bool> result;
    bool code_page_null = false;
    bool valid = true;

    bool start_object(std::size_t) override {
        if (depth_ == 2 && array_ == "chunks") ++chunks;
        if (depth_ == 2 && array_ == "records") ++records;
        ++depth_;
        return true;
    }
    bool end_object() override { return --depth_, true; }
    bool start_array(std::size_t) override {
        if (depth_ == 1) array_ = key_;
        ++depth_;
        return true;
    }
    bool end_array() override { return --depth_, true; }
    bool key(string_t& key) override {
        if (depth_ == 1) key_ = key;
        last_key_ = key;
        return true;
    }
    bool string(string_t& text) override {
        if (depth_ == 3 && array_ == "records" && last_key_ == "kind" && text == "other") ++other_records;
        return true;
    }
    bool boolean(bool value) override {
        if (depth_ == 1 && key_ == "result") result = value;
        return true;
    }
    bool null() override {
        if (depth_ == 1 && key_ == "code_page") code_page_null = true;
        return true;
    }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        valid = false;
        return false;
    }

private:
    int depth_ = 0;
    std::string array_, key_, last_key_;
};

// A million records of two empty chunks each, 40 MB: list, list --json and
// verify keep nothing per chunk or record. Each runs within 64 MiB of
// address space (it needs about 24; the listing kept whole took 588 MiB),
// and still shows every one of them.
TEST_F(PackTool, AMillionRecordsCostNoMoreThanOne) {
    constexpr std::uint64_t records = 1000000, memory_limit = 64u << 20;
    {
        std::string empty_record;
        append_raw_chunk(empty_record, "", 0, md5_of(""));
        append_raw_chunk(empty_record, "", 0, md5_of(""));
        std::string c;
        append_stub(c, fixtures::minimal_pe(1024), "Trevan.exe");
        c.reserve(c.size() + records * empty_record.size() + 64);
        for (std::uint64_t i = 0; i < records; ++i) c += empty_record;
        append_tail(c);
        write_all(path("bomb.exe"), c);
    }
    // The tail, two chunks a record, the stub record's tag and name.
    const std::uint64_t chunks = 1 + 2 * records + 2;

    ASSERT_EQ(pack::run_tool_to_files({"verify", "--json", path("bomb.exe")}, dir_, memory_limit), 0)
        << read_all(dir_ / ".stderr");
    const nlohmann::json verdict = nlohmann::json::parse(read_all(dir_ / ".stdout"));
    EXPECT_EQ(verdict["result"], true);
    EXPECT_EQ(verdict["chunks"], chunks);
    EXPECT_EQ(verdict["records"], records + 1);

    ASSERT_EQ(pack::run_tool_to_files({"list", "--json", path("bomb.exe")}, dir_, memory_limit), 0)
        << read_all(dir_ / ".stderr");
    {
        listing_counter counted;
        std::ifstream listing(dir_ / ".stdout", std::ios::binary);
        nlohmann::json::sax_parse(listing, &counted);
        EXPECT_TRUE(counted.valid);
        EXPECT_EQ(counted.chunks, chunks);
        EXPECT_EQ(counted.records, records + 1);
        EXPECT_EQ(counted.other_records, records);
        EXPECT_EQ(counted.result, true);
        EXPECT_TRUE(counted.code_page_null);
    }

    ASSERT_EQ(pack::run_tool_to_files({"list", path("bomb.exe")}, dir_, memory_limit), 0)
        << read_all(dir_ / ".stderr");
    std::ifstream listing(dir_ / ".stdout", std::ios::binary);
    std::uint64_t other_lines = 0;
    std::string last;
    for (std::string line; std::getline(listing, line);) {
        if (line == "  other  tag \"\", name \"\"") ++other_lines;
        if (line.rfind("result: ", 0) == 0) last = line;
    }
    EXPECT_EQ(other_lines, records);
    EXPECT_EQ(last, "result: true (the walk reached the stub record)");
}

// A million distinct settings of 64 bytes each, 140 MB: verify keeps no
// setting and needs about 5 MB (it took 190 keeping them); list keeps only
// the names, which tell the ignored records, and needs about 115 MB (190
// with the values), and still marks the one ignored record.
TEST_F(PackTool, AMillionSettingsKeepTheirNamesOnly) {
    constexpr unsigned settings = 1000000;
    const std::string value(64, 'v');
    {
        std::string c;
        append_stub(c, fixtures::minimal_pe(1024), "Trevan.exe");
        for (unsigned i = 0; i < settings; ++i) append_value_record(c, "setting" + std::to_string(i), value);
        append_value_record(c, "setting0", "ignored");
        append_tail(c);
        write_all(path("names.exe"), c);
    }
    ASSERT_EQ(pack::run_tool_to_files({"verify", path("names.exe")}, dir_, 64u << 20), 0)
        << read_all(dir_ / ".stderr");
    EXPECT_EQ(read_all(dir_ / ".stdout"), "ok: " + std::to_string(1 + 3 * (settings + 1) + 2) + " chunks, " +
                                              std::to_string(settings + 2) + " records\n");

    ASSERT_EQ(pack::run_tool_to_files({"list", path("names.exe")}, dir_, 160u << 20), 0)
        << read_all(dir_ / ".stderr");
    std::ifstream listing(dir_ / ".stdout", std::ios::binary);
    std::uint64_t values = 0, ignored = 0;
    for (std::string line; std::getline(listing, line);) {
        if (line.rfind("  value  ", 0) == 0) ++values;
        if (line.find("[ignored: set before]") != std::string::npos) ++ignored;
    }
    EXPECT_EQ(values, settings + 1);
    // The walk reads backward: the last record sets setting0, the first is ignored.
    EXPECT_EQ(ignored, 1u);
}

}  // namespace
}  // namespace trevan
