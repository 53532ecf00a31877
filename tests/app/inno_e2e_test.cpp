// A real Inno Setup installer through the bootstrapper: the tests' own
// tests/installers/quill.iss, built by Inno Setup's compiler (the CTest
// fixture inno), installs silently through /S, into the folder /DIR= names,
// passes its exit codes through and writes its log where msilog=ON points
// it. Inno Setup's installers are 32-bit programs: both builds of the
// program start it in the WOW64 session (inno_e2e the 64-bit build,
// wow64_inno_e2e the shipped 32-bit one).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "tests/app/kind_run.h"

namespace trevan::harness {
namespace {

namespace fs = std::filesystem;

class InnoKind : public KindRun {
protected:
    static constexpr const char* key = "HKLM\\Software\\Quillfeather\\QuillInno";
    static constexpr const char* silent = "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART";

    void SetUp() override {
        ASSERT_TRUE(fs::exists(TREVAN_INNO_INSTALLER))
            << TREVAN_INNO_INSTALLER << " is missing: the fixture inno_installer builds it";
        KindRun::SetUp();
    }
    void remove_installation() override {
        run_wine({"reg", "delete", key, "/f", "/reg:64"});
        fs::remove_all(drive_c("Program Files/QuillInno"));
        fs::remove_all(drive_c("Some Dir"));
    }
    // An Inno installer starts its setup program as a second 32-bit process:
    // under qemu each takes seconds.
    run_result run_slowly(const std::string& program, const std::string& args) const {
        run_options o = options(args);
        o.timeout = std::chrono::milliseconds(180000);
        run_result r = run_program(program, o);
        // A crashed emulator may still report exit code 0.
        EXPECT_FALSE(r.emulator_crashed) << "qemu-user crashed under " << args;
        return r;
    }
    std::string program(std::vector<pack::record> values = {}) {
        return packed(TREVAN_INNO_INSTALLER, std::move(values));
    }
};

TEST_F(InnoKind, InstallsSilentlyAndWhereAsked) {
    const std::string setup = program();
    run_result r = run_slowly(setup, "/S");
    EXPECT_FALSE(r.timed_out);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(read_file(drive_c("Program Files/QuillInno/payload.txt")), "Quill payload\n");
    EXPECT_EQ(registry_value(key, "DisplayName"), "Quill Inno");
    EXPECT_EQ(registry_value(key, "InstallLocation"), "C:\\Program Files\\QuillInno");
    EXPECT_NE(registry_value(key, "CommandLine").find(silent), std::string::npos) << registry_value(key, "CommandLine");
    EXPECT_NE(log().find(std::string("Parameters: ") + silent + "\r\n"), std::string::npos) << log();

    // A folder with a blank, quoted as a Windows caller quotes it.
    remove_installation();
    r = run_slowly(setup, "/S \"/DIR=C:\\Some Dir\"");
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(read_file(drive_c("Some Dir/payload.txt")), "Quill payload\n");
    EXPECT_FALSE(fs::exists(drive_c("Program Files/QuillInno")));
    EXPECT_EQ(registry_value(key, "InstallLocation"), "C:\\Some Dir");
    EXPECT_TRUE(work_folders_left().empty());
}

TEST_F(InnoKind, ItsExitCodesPassThrough) {
    const std::string setup = program();
    const struct {
        const char* argument;
        std::uint32_t exit_code;
        bool installed;
    } rows[] = {{"/FAILME=1", 1, false}, {"/REBOOTME=1", 3010, true}, {"", 0, true}};
    for (const auto& row : rows) {
        remove_installation();
        fs::remove(temp_ + "/Trevan.log.txt");
        run_result r = run_slowly(setup, std::string("/S ") + row.argument);
        EXPECT_EQ(r.exit_code, row.exit_code) << row.argument;
        EXPECT_TRUE(r.boxes.empty()) << row.argument;
        EXPECT_EQ(fs::exists(drive_c("Program Files/QuillInno/payload.txt")), row.installed) << row.argument;
        EXPECT_NE(log().find("Exit code: " + std::to_string(row.exit_code)), std::string::npos) << log();
    }
    EXPECT_TRUE(work_folders_left().empty());
}

// Inno Setup opens its log denying writes to others: the run's own hold of
// it must leave that open possible, or nothing installs.
TEST_F(InnoKind, WritesItsLogWhereMsilogPointsIt) {
    const std::string setup = program({pack::value_record("msilog", "ON")});
    run_result r = run_slowly(setup, "/S");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(read_file(drive_c("Program Files/QuillInno/payload.txt")), "Quill payload\n");
    EXPECT_NE(log().find(std::string("Parameters: ") + silent + " /LOG=\"" + temp_windows() + "KELMO_msi.log.txt\"\r\n"),
              std::string::npos)
        << log();
    const std::string inno_log = read_file(temp_ + "/KELMO_msi.log.txt");
    EXPECT_NE(inno_log.find("Setup version: Inno Setup version 6.4.1"), std::string::npos) << inno_log;
    EXPECT_NE(inno_log.find("Installation process succeeded."), std::string::npos) << inno_log;
    EXPECT_TRUE(work_folders_left().empty());
}

}  // namespace
}  // namespace trevan::harness
