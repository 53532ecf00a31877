// A release build in one file and one command: the project file, the build
// report read against digests computed here with OpenSSL, and signing
// through osslsigncode with a certificate made here.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <optional>

#include "container/file_reader.h"
#include "container/walk.h"
#include "tests/container/container_fixtures.h"
#include "tests/pack/file_helpers.h"
#include "tests/pack/run_tool.h"
#include "tests/pe/pe_fixtures.h"
#include "tests/signing/test_signer.h"
#include "tools/pack/host.h"
#include "tools/pack/sha256.h"
#include "tools/pe/hex.h"
#include "tools/pe/pe_image.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::json;

// The hex digest of data by OpenSSL's implementation of the algorithm.
std::string openssl_digest(const EVP_MD* algorithm, const std::string& data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), out, &size, algorithm, nullptr);
    return pe::hex_text(std::string(reinterpret_cast<char*>(out), size));
}
std::string openssl_sha256(const std::string& data) { return openssl_digest(EVP_sha256(), data); }
std::string openssl_md5(const std::string& data) { return openssl_digest(EVP_md5(), data); }

TEST(Sha256, AgreesWithOpenSSL) {
    // Lengths around the padding's edges, and data fed in uneven pieces.
    for (std::size_t length : {0u, 1u, 55u, 56u, 63u, 64u, 65u, 119u, 120u, 1000u, 1u << 20}) {
        const std::string data = fixtures::pseudo_random_bytes(length, static_cast<unsigned>(length));
        sha256_digest whole;
        whole.update(data.data(), data.size());
        EXPECT_EQ(pe::hex_text(whole.digest()), openssl_sha256(data)) << length;
        sha256_digest pieces;
        for (std::size_t at = 0, step = 1; at < data.size(); at += step, step = step * 3 % 97 + 1)
            pieces.update(data.data() + at, std::min(step, data.size() - at));
        EXPECT_EQ(pe::hex_text(pieces.digest()), openssl_sha256(data)) << length;
    }
    EXPECT_EQ(pe::hex_text(sha256_digest().digest()),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

class Project : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fresh_test_folder("trevan-project-test");
        fs::create_directories(dir_ / "product");
        write_all(path("product/stub.exe"), stub_);
        write_all(path("product/setup32.exe"), setup32_);
        write_all(path("product/setup64.exe"), setup64_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    tool_run run(const std::vector<std::string>& args) const { return run_tool(args, dir_); }

    // A project in dir/product: every path in it is relative to that folder.
    std::string project_text(const std::string& extra = "") const {
        return R"({
  "stub": "stub.exe",
  "files": [
    {"setting": "installer32", "stored_name": "Setup.exe", "path": "setup32.exe"},
    {"setting": "installer64", "path": "setup64.exe"}
  ],
  "values": {"executable64": "%installer64%", "msilog": "ON"},
  "branding": {"product_name": "Amberlyn", "version_info": {"InternalName": "AmberlynSetup"}},
  "output": "out/Setup.exe")" + extra + "\n}\n";
    }

    // The names in dir_ and its subfolders, besides the tool's captures.
    std::vector<std::string> all_names() const {
        std::vector<std::string> names;
        for (const auto& e : fs::recursive_directory_iterator(dir_))
            if (e.path().filename().string()[0] != '.') names.push_back(fs::relative(e.path(), dir_).string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
    // An image with a resource directory, so that branding can go in.
    const std::string stub_ = pe::image_of({".text", ".rsrc"}, pe::resource_tree{});
    const std::string setup32_ = fixtures::pseudo_random_bytes(70000, 32);
    const std::string setup64_ = fixtures::pseudo_random_bytes(90000, 64);
};

TEST_F(Project, BuildsFromOneFileAndReportsWhatItWrote) {
    fs::create_directories(path("product/out"));
    write_all(path("product/p.json"), project_text());
    // The stub is a bare image and the project names no 32-bit setup
    // program: those checks are off.
    const std::vector<std::string> unchecked = {"--no-check", "stub", "--no-check", "executable32"};
    std::vector<std::string> args = {"build", "--project", path("product/p.json"), "--json"};
    args.insert(args.end(), unchecked.begin(), unchecked.end());
    tool_run built = run(args);
    ASSERT_EQ(built.code, 0) << built.err;
    const std::string output = read_all(path("product/out/Setup.exe"));

    file_reader in(path("product/out/Setup.exe"));
    SettingsMap settings;
    ASSERT_TRUE(walk_container(in, settings).ok);
    EXPECT_EQ(settings, (SettingsMap{{"installer32", "Setup.exe"}, {"installer64", "setup64.exe"},
                                     {"executable64", "%installer64%"}, {"msilog", "ON"}}));

    // The report against digests of the inputs and the output taken here;
    // the stub record holds the branded image, which stands at the start.
    const std::string branded = output.substr(0, pe::pe_image(output.substr(0, 4096), "out").image_end());
    const json report = json::parse(built.out);
    EXPECT_EQ(report["size"], output.size());
    EXPECT_EQ(report["sha256"], openssl_sha256(output));
    EXPECT_EQ(report["signed_by_command"], false);
    const json expected_records = json::parse(R"([
        {"kind": "stub", "stored_name": "stub.exe", "size": )" + std::to_string(branded.size()) +
                                                  R"(, "md5": ")" + openssl_md5(branded) + R"("},
        {"kind": "file", "setting": "installer32", "stored_name": "Setup.exe", "size": 70000,
         "md5": ")" + openssl_md5(setup32_) + R"("},
        {"kind": "file", "setting": "installer64", "stored_name": "setup64.exe", "size": 90000,
         "md5": ")" + openssl_md5(setup64_) + R"("},
        {"kind": "value", "setting": "executable64", "value": "%installer64%", "size": 13,
         "md5": ")" + openssl_md5("%installer64%") + R"("},
        {"kind": "value", "setting": "msilog", "value": "ON", "size": 2, "md5": ")" + openssl_md5("ON") + R"("}
    ])");
    EXPECT_EQ(report["records"], expected_records);
    EXPECT_EQ(report["stub"]["product_name"], "Amberlyn");
    EXPECT_EQ(report["stub"]["version"]["strings"]["InternalName"], "AmberlynSetup");
    EXPECT_EQ(report["stub"]["certificate_table"], false);
    EXPECT_TRUE(report["kind"].is_null());

    // The command line wins: another output, a value after the project's,
    // and the text summary.
    args = {"build", "--project", path("product/p.json"), "-o", path("other.exe"), "--value", "msilog=OFF",
            "--no-check", "msilog"};
    args.insert(args.end(), unchecked.begin(), unchecked.end());
    tool_run again = run(args);
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.out.rfind("wrote \"" + path("other.exe") + "\": ", 0), 0u) << again.out;
    EXPECT_NE(again.out.find("sha256 " + openssl_sha256(read_all(path("other.exe")))), std::string::npos);
    EXPECT_NE(again.out.find("  value  \"msilog\" = \"OFF\" (3 bytes, md5 " + openssl_md5("OFF") + ")\n"),
              std::string::npos)
        << again.out;
    file_reader other(path("other.exe"));
    SettingsMap other_settings;
    ASSERT_TRUE(walk_container(other, other_settings).ok);
    EXPECT_EQ(other_settings.at("msilog"), "OFF");
    EXPECT_EQ(read_all(path("product/out/Setup.exe")), output);
}

TEST_F(Project, MistakesNameTheMemberAndWriteNothing) {
    struct mistake {
        std::string text;
        std::string message;
    };
    const std::string missing = path("product/missing.exe");
    const mistake mistakes[] = {
        {project_text(",\n  \"stubb\": \"x\""), "unknown member \"stubb\" (known: stub, stub_name, files, values"},
        {R"({"files": {"setting": "a"}, "output": "o.exe"})", "\"files\" must be an array of files"},
        {R"({"files": [{"setting": 1, "path": "setup32.exe"}], "output": "o.exe"})",
         "\"files[0].setting\" must be a string"},
        {R"({"files": [{"setting": "a", "path": "missing.exe"}], "output": "o.exe"})",
         "\"files[0].path\" names \"" + missing + "\", which does not exist"},
        {R"({"files": [{"setting": "a"}], "output": "o.exe"})", "\"files[0].path\" is missing"},
        {R"({"files": [{"path": "setup32.exe", "size": 3}], "output": "o.exe"})",
         "\"files[0].size\" is not a member of a file (known: setting, stored_name, path)"},
        {R"({"values": {"msilog": true}, "output": "o.exe"})", "\"values.msilog\" must be a string"},
        {R"({"stub": "missing.exe", "output": "o.exe"})", "\"stub\" names \"" + missing + "\", which does not exist"},
        {R"({"stub": "..", "output": "o.exe"})", "which is not a regular file"},
        {R"({"branding": "brand.json", "output": "o.exe"})", "\"branding\" names"},
        {R"({"branding": {"colour": "red"}, "output": "o.exe"})", ": \"branding\": unknown member \"colour\""},
        {R"({"branding": ["red"], "output": "o.exe"})", "\"branding\" must be a branding file's path or"},
        {R"({"output": 7})", "\"output\" must be a string"},
        {R"({"sign_command": "sign it", "output": "o.exe"})", "\"sign_command\" must name the file to sign as {in}"},
        {"[1, 2]", "expected a JSON object"},
        {"{\"stub\": ", "not JSON (parse error"},
        {R"({"stub": "stub.exe"})", "--output is required (or a project file's \"output\")"},
        {R"({"output": "o.exe"})", "and there is no Trevan.exe beside trevan-pack"},
    };
    write_all(path("product/p.json"), "");
    const std::vector<std::string> before = all_names();
    for (const mistake& m : mistakes) {
        write_all(path("product/p.json"), m.text);
        tool_run r = run({"build", "--project", path("product/p.json")});
        EXPECT_EQ(r.code, 2) << m.text;
        EXPECT_NE(r.err.find(m.message), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(all_names(), before) << m.text;
    }
}

// Signing: a certificate made here, osslsigncode through --sign-command,
// and the result checked by osslsigncode and by the tool's own walk.
class Signing : public Project {
protected:
    void SetUp() override {
        Project::SetUp();
        // A subject with a comma and a letter outside ASCII, so that its
        // RFC 2253 form needs escaping.
        signer_.emplace(dir_, "/O=Quillfeather Ltd/CN=Test, Signer \xC3\x96lfeld");
        ASSERT_TRUE(signer_->made()) << signer_->output();
        const command_result subject =
            run_shell_command("openssl x509 -noout -subject -nameopt RFC2253,-esc_msb -in cert.pem", dir_);
        ASSERT_EQ(subject.exit_code, 0) << subject.output;
        subject_ = subject.output.substr(subject.output.find('=') + 1);
        subject_.pop_back();  // the line end
        osslsigncode_ = signer_->sign_command("Amberlyn Setup");
    }

    tool_run build(const std::string& sign_command, const std::string& output) const {
        return run({"build", "--stub", path("product/stub.exe"), "--file", "installer64=" + path("product/setup64.exe"),
                    "--sign-command", sign_command, "--json", "-o", output, "--no-check", "stub", "--no-check",
                    "executable32", "--no-check", "executable64"});
    }

    std::optional<fixtures::test_signer> signer_;
    std::string subject_;
    // The signing command, which runs osslsigncode.
    std::string osslsigncode_;
};

TEST_F(Signing, OsslsigncodeSignsAndTheResultVerifies) {
    // Twice to the same output: the signing tool never sees an output that
    // exists already.
    for (int round = 0; round < 2; ++round) {
        tool_run built = build(osslsigncode_, path("Signed.exe"));
        ASSERT_EQ(built.code, 0) << built.err;
        const json report = json::parse(built.out);
        EXPECT_EQ(report["signed_by_command"], true);
        EXPECT_EQ(report["sha256"], openssl_sha256(read_all(path("Signed.exe"))));
        EXPECT_EQ(report["stub"]["signer"], subject_);
    }
    EXPECT_TRUE(signer_->verifies(path("Signed.exe"))) << signer_->output();
    EXPECT_EQ(run({"verify", path("Signed.exe")}).code, 0);

    tool_run listed = run({"list", path("Signed.exe")});
    EXPECT_EQ(listed.code, 0) << listed.err;
    EXPECT_NE(listed.out.find("  signature            certificate table present; not checked here"),
              std::string::npos)
        << listed.out;
    // Text mode shows it quoted, its backslashes escaped.
    std::string shown = subject_;
    for (std::size_t at = 0; (at = shown.find('\\', at)) != std::string::npos; at += 2) shown.insert(at, 1, '\\');
    EXPECT_NE(listed.out.find("  signer               \"" + shown + "\"\n"), std::string::npos) << listed.out;

    // Bytes appended behind the signature: list still says only what it
    // read, and verify refuses the container.
    write_all(path("Appended.exe"), read_all(path("Signed.exe")) + "appended");
    tool_run appended = run({"list", "--json", path("Appended.exe")});
    EXPECT_EQ(appended.code, 1);
    const json stub = json::parse(appended.out)["stub"];
    EXPECT_EQ(stub["certificate_table"], true);
    EXPECT_EQ(stub["signature_checked"], false);
    EXPECT_EQ(run({"verify", path("Appended.exe")}).code, 1);
}

TEST_F(Signing, ACommandThatFailsLeavesNothingBehind) {
    struct failure {
        std::string command;
        std::string message;
    };
    const failure failures[] = {
        {"echo 'bad key password' >&2; exit 3; : {in}",
         "the signing command failed with exit code 3; it printed:\nbad key password\n(end of its output)\n"},
        {"cp {in} {out}", "the signing command: the signed file has no certificate table\n"},
        {"rm {in}", "the signing command left no signed file\n"},
        {osslsigncode_ + " && printf x >> {out}", "the signed file fails verification: its security directory"},
        {"sign {out}", "--sign-command must name the file to sign as {in}"},
    };
    write_all(path("Setup.exe"), "previous");
    const std::vector<std::string> before = all_names();
    for (const failure& f : failures) {
        tool_run r = build(f.command, path("Setup.exe"));
        EXPECT_EQ(r.code, 2) << f.command;
        EXPECT_NE(r.err.find(f.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(read_all(path("Setup.exe")), "previous") << f.command;
        EXPECT_EQ(all_names(), before) << f.command;
    }
}

}  // namespace
}  // namespace trevan::pack
