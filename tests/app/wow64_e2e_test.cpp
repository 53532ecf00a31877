// The shipped 32-bit program as a WOW64 process on 64-bit Windows: the cases
// that only this build can show. The 32-bit suite runs them (and a selection
// of the common end-to-end cases) with the harness pointed at build/win32.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "support/core/little_endian.h"
#include "tests/app/run_fixture.h"
#include "tests/container/container_fixtures.h"
#include "tests/signing/test_signer.h"

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

constexpr std::uint16_t machine_i386 = 0x14c;

// The machine field of a PE file's header; 0 when the file is no PE image.
std::uint16_t pe_machine(const std::string& path) {
    const std::string bytes = read_file(path);
    const std::optional<fixtures::pe_offsets> pe = fixtures::pe_offsets_of(bytes);
    if (!pe) return 0;
    return vennic::le_view(bytes).u16(pe->file_header + pe_layout::machine_at).value_or(0);
}

// The low half of the time in seconds, as the folder name shows it.
long long folder_time(std::chrono::system_clock::time_point t) {
    const long long seconds =
        std::chrono::duration_cast<std::chrono::seconds>(t.time_since_epoch()).count();
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(seconds));
}

class Wow64 : public ProgramRun {
protected:
    void SetUp() override {
        ProgramRun::SetUp();
        // Without the 32-bit program every case here would test the 64-bit one.
        ASSERT_EQ(pe_machine(program_path()), machine_i386)
            << program_path() << ": run with TREVAN_PROGRAM_DIR naming the 32-bit tree";
    }

    // Waits until the stand-in has written the file; false after 60 s.
    static bool wait_for_start(const std::string& file) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (read_standin_records(file).empty()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }
};

TEST_F(Wow64, TheWorkFolderIsNamedAfterTheTimeInSeconds) {
    const std::string program = build(sample_records());
    const long long before = folder_time(std::chrono::system_clock::now());
    run_result r = run(program);
    const long long after = folder_time(std::chrono::system_clock::now());
    EXPECT_TRUE(r.boxes.empty());
    std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(started[0].path, m, std::regex(R"(\\VORBELQ(-?\d+)\\)")))
        << started[0].path;
    const long long named = std::stoll(m[1]);
    EXPECT_GE(named, before);
    EXPECT_LE(named, after);
}

TEST_F(Wow64, ASignedBootstrapperRuns) {
    const std::string program = build(sample_records());
    const std::string signed_program = dir_ + "/SignedSetup.exe";
    fixtures::test_signer signer(dir_);
    ASSERT_TRUE(signer.made()) << signer.output();
    ASSERT_TRUE(signer.sign(program, signed_program, "Vorbelquint Setup")) << signer.output();
    ASSERT_TRUE(signer.verifies(signed_program)) << signer.output();

    run_result r = run(signed_program, "", {{"TREVAN_STANDIN_EXIT", "3010"}});
    EXPECT_EQ(r.exit_code, 3010u);
    EXPECT_TRUE(r.boxes.empty());
    std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_NE(started[0].path.find("\\VorbelquintSetup_x64.exe"), std::string::npos) << started[0].path;
    EXPECT_TRUE(work_folders_left().empty());
}

// The two builds take the same instance mutex: while a run of one build
// waits for its setup program, a start of the other is refused, in either
// order, also when both start at the same moment.
TEST_F(Wow64, BothBuildsShareTheInstanceMutex) {
    const std::string program32 = build(sample_records());
    const std::string program64 = dir_ + "/Setup64.exe";
    pack::build_container(win64_dir() + "/Trevan.exe", sample_records(), program64);
    ASSERT_NE(pe_machine(program64), machine_i386);
    const std::string go = dir_ + "/go";

    // Each run's stand-in records into a file of its own: "32" or "64".
    auto start = [&](const std::string& program, const std::string& build) {
        run_options o = options("", {{"TREVAN_STANDIN_ACTIONS", "wait"},
                                     {"TREVAN_STANDIN_GO", windows_path(go)}});
        o.env["TREVAN_STANDIN_LOG"] = windows_path(dir_ + "/records" + build + ".txt");
        return program_run(program, o);
    };
    auto started = [&](const std::string& build) {
        return read_standin_records(dir_ + "/records" + build + ".txt").size();
    };
    auto reset = [&] {
        fs::remove(go);
        fs::remove(dir_ + "/records32.txt");
        fs::remove(dir_ + "/records64.txt");
    };

    // Both at once; the 64-bit build is usually first, as it starts faster.
    reset();
    program_run run32 = start(program32, "32");
    program_run run64 = start(program64, "64");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (started("32") + started("64") == 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const bool first32 = started("32") > 0;
    program_run& winner = first32 ? run32 : run64;
    program_run& loser = first32 ? run64 : run32;
    run_result refused = loser.wait();
    write_file(go, "go");
    run_result ran = winner.wait();
    EXPECT_EQ(refused.exit_code, 1u);
    EXPECT_EQ(refused.boxes, std::vector<message_box>{already_running});
    EXPECT_EQ(ran.exit_code, 0u);
    EXPECT_TRUE(ran.boxes.empty());
    EXPECT_EQ(started("32") + started("64"), 1u);

    // The other order: the build that lost holds the mutex first.
    reset();
    program_run holder = start(first32 ? program64 : program32, first32 ? "64" : "32");
    ASSERT_TRUE(wait_for_start(dir_ + "/records" + (first32 ? "64" : "32") + ".txt"));
    run_result second = start(first32 ? program32 : program64, first32 ? "32" : "64").wait();
    write_file(go, "go");
    run_result first = holder.wait();
    EXPECT_EQ(second.exit_code, 1u);
    EXPECT_EQ(second.boxes, std::vector<message_box>{already_running});
    EXPECT_EQ(first.exit_code, 0u);
    EXPECT_TRUE(first.boxes.empty());
    EXPECT_EQ(started("32") + started("64"), 1u);
}

// Under qemu the shipped program checks 1 GiB in about 8 s, long enough for
// its progress window to show and settle before Cancel is pressed (256 MiB
// take about 2 s): Cancel ends the run. The window is the program's second
// thread: the emulator must carry two busy threads of a 32-bit process.
TEST_F(Wow64, CancelInTheProgressWindowEndsTheRunWith1602) {
    const std::string program = dir_ + "/Large.exe", setup = padded_standin(1u << 30);
    pack::build_container(program_path(),
                          {pack::file_record("installer64", "Setup_x64.exe", setup),
                           pack::value_record("executable64", "%installer64%")},
                          program);
    run_options o = options();
    o.watch.press = "Cancel";
    // At once: the extraction may end soon after the window shows.
    const run_result r = run_through_progress(program, o, "");
    // 2 GiB are not worth keeping.
    fs::remove(program);
    fs::remove(setup);
    EXPECT_FALSE(r.emulator_crashed) << "qemu-user crashed under the program";
    ASSERT_TRUE(r.window.has_value());
    EXPECT_GE(r.window->ms, 1000u);
    EXPECT_EQ(r.window->title, "Vorbelquint");
    EXPECT_EQ(r.window->text_of("Static"), "Preparing Vorbelquint setup\xE2\x80\xA6");
    EXPECT_EQ(r.exit_code, 1602u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(work_folders_left().empty());
}

// The installer language of a 64-bit system is read from the registry's
// 64-bit view, which a 32-bit process sees only when it asks for it; values
// of the 32-bit view (WOW6432Node) are not read. The user keys are shared by
// both views.
class Wow64Language : public Wow64 {
protected:
    static constexpr const char* uninstall =
        "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorbelquint";
    static constexpr const char* uninstall32 =
        "HKLM\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorbelquint";
    static constexpr const char* user_key = "HKCU\\SOFTWARE\\Marrowgate\\KELMO\\Misc";

    void SetUp() override {
        Wow64::SetUp();
        if (!HasFatalFailure()) clear();
    }
    void TearDown() override { clear(); }
    void clear() {
        run_wine({"reg", "delete", uninstall, "/f", "/reg:64"});
        run_wine({"reg", "delete", uninstall32, "/f", "/reg:64"});
        run_wine({"reg", "delete", "HKCU\\SOFTWARE\\Marrowgate", "/f", "/reg:64"});
    }
    // Writes through the 64-bit view, where a WOW6432Node path names the
    // 32-bit view's key.
    void set(const char* key, const char* name, const std::string& value) {
        ASSERT_EQ(run_wine({"reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f", "/reg:64"}), 0);
    }
    // What a reader of the given view ("/reg:32" or "/reg:64") finds.
    std::string query(const char* view) {
        std::string output;
        run_wine({"reg", "query", uninstall, "/v", "InstallerLanguage", view}, &output);
        return output;
    }
    std::string received() {
        run_result r = run(program_);
        EXPECT_TRUE(r.boxes.empty());
        std::vector<standin_record> started = records();
        fs::remove(records_file_);
        return started.size() == 1 ? started[0].parameters() : "<" + std::to_string(started.size()) + " starts>";
    }
    std::string text() const {
        return " /V\"/l*v \\\"" + temp_windows() + "KELMO_msi.log.txt\\\"  USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"";
    }

    std::string program_;
};

TEST_F(Wow64Language, TheInstallerLanguageComesFromThe64BitView) {
    program_ = build(sample_records());
    EXPECT_EQ(received(), text()) << "no registry values";

    // A different value in each view: a reader of the 32-bit view would
    // find 1040.
    set(uninstall, "InstallerLanguage", "1031");
    set(uninstall32, "InstallerLanguage", "1040");
    ASSERT_NE(query("/reg:32").find("1040"), std::string::npos) << query("/reg:32");
    ASSERT_NE(query("/reg:64").find("1031"), std::string::npos) << query("/reg:64");
    EXPECT_EQ(received(), "/L1031 " + text());

    // Only the 32-bit view holds a value: it is not read.
    run_wine({"reg", "delete", uninstall, "/f", "/reg:64"});
    ASSERT_NE(query("/reg:32").find("1040"), std::string::npos) << query("/reg:32");
    EXPECT_EQ(received(), text());

    // The user's key, written through the 64-bit view, is the same key for
    // the 32-bit process.
    set(user_key, "Lang", "FR");
    EXPECT_EQ(received(), "/L1036 " + text());
}

}  // namespace
}  // namespace trevan::harness
