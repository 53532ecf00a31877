// Each kind of setup program, run for real: NSIS and MSI installers built
// from tests/installers install silently through the bootstrapper's /S,
// pass their exit codes through, and take /D= and MSI properties; the plan
// of trevan-pack is what the setup program receives; an unattended run
// shows no box and logs each.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "container/file_reader.h"
#include "container/walk.h"
#include "tests/app/kind_run.h"
#include "tests/app/run_fixture.h"
#include "tools/pack/plan.h"
#include "support/core/text.h"

namespace trevan::harness {
namespace {

namespace fs = std::filesystem;

std::string installer(const std::string& name) { return win64_dir() + "/tests/installers/" + name; }

class NsisKind : public KindRun {
protected:
    static constexpr const char* key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QuillNsis";
    void remove_installation() override {
        run_wine({"reg", "delete", key, "/f", "/reg:64"});
        fs::remove_all(drive_c("Program Files/QuillNsis"));
        fs::remove_all(drive_c("Quill Custom"));
    }
};

TEST_F(NsisKind, InstallsSilentlyWhereAskedAndPassesItsExitCode) {
    const std::string program = packed(installer("QuillNsis.exe"), {});
    // Without /S the installer would wait at its pages for a user.
    run_result r = run(program, "/s");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(read_file(drive_c("Program Files/QuillNsis/payload.txt")), "Quill payload\n");
    EXPECT_EQ(registry_value(key, "DisplayName"), "Quill NSIS");
    EXPECT_EQ(registry_value(key, "InstallLocation"), "C:\\Program Files\\QuillNsis");
    const std::string command_line = registry_value(key, "CommandLine");
    EXPECT_EQ(command_line.substr(command_line.rfind('"') + 1), " /S") << command_line;

    // /D= goes last, whole, wherever it was given.
    r = run(program, "/D=C:\\Quill Custom /S");
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(read_file(drive_c("Quill Custom/payload.txt")), "Quill payload\n");
    EXPECT_EQ(registry_value(key, "InstallLocation"), "C:\\Quill Custom");

    for (const char* code : {"3010", "1603", "1602"}) {
        r = run(program, "/S", {{"QUILL_EXIT", code}});
        EXPECT_EQ(r.exit_code, std::stoul(code)) << code;
        EXPECT_TRUE(r.boxes.empty()) << code;
        EXPECT_NE(log().find(std::string("Exit code: ") + code), std::string::npos) << code;
    }
    EXPECT_TRUE(work_folders_left().empty());
}

class MsiKind : public KindRun {
protected:
    static constexpr const char* product = "{3A1F0C52-7D4B-4E8A-9C61-5B2E8F0D1A73}";
    static constexpr const char* key = "HKLM\\Software\\Quillfeather\\QuillMsi";
    void remove_installation() override {
        run_wine({"msiexec", "/x", product, "/qn"});
        run_wine({"reg", "delete", "HKLM\\Software\\Quillfeather", "/f", "/reg:64"});
    }
};

TEST_F(MsiKind, InstallsSilentlyWithTheCommandLinesPropertiesAndItsLog) {
    const std::string program = packed(installer("QuillMsi.msi"), {pack::value_record("msilog", "ON")});
    run_result r = run(program, "/S /V\"GREETING=hello\"");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(read_file(drive_c("Program Files/QuillMsi/payload.txt")), "Quill payload\n");
    EXPECT_EQ(registry_value(key, "Greeting"), "hello");
    // msiexec's own log, where the bootstrapper asked for it.
    EXPECT_NE(read_file(temp_ + "/KELMO_msi.log.txt").find("GREETING"), std::string::npos);
    // What msiexec got behind /i and the package: /S as /qn, the property,
    // the log option of its own.
    EXPECT_NE(log().find("Parameters: /qn GREETING=hello /l*v \"" + temp_windows() + "KELMO_msi.log.txt\"\r\n"),
              std::string::npos)
        << log();
    EXPECT_TRUE(work_folders_left().empty());
}

TEST_F(MsiKind, ItsExitCodesPassThrough) {
    const std::string program = packed(installer("QuillMsi.msi"), {});
    const struct {
        const char* property;
        std::uint32_t exit_code;
        bool installed;
    } rows[] = {{"FAILME=1", 1603, false}, {"CANCELME=1", 1602, false}, {"REBOOTME=1", 3010, true}, {"", 0, true}};
    for (const auto& row : rows) {
        remove_installation();
        run_result r = run(program, std::string("/S /V\"") + row.property + "\"");
        EXPECT_EQ(r.exit_code, row.exit_code) << row.property;
        EXPECT_TRUE(r.boxes.empty()) << row.property;
        EXPECT_EQ(fs::exists(drive_c("Program Files/QuillMsi/payload.txt")), row.installed) << row.property;
    }
}

// msiexec reads the package while it installs: the run holds it until
// msiexec has ended, so a user process can neither rename nor replace it
// meanwhile (the package's custom action waits while one tries).
TEST_F(MsiKind, ThePackageStaysHeldWhileMsiexecRuns) {
    const std::string program = packed(installer("QuillMsi.msi"), {});
    const std::string go = dir_ + "/go";
    write_file(dir_ + "/theirs.msi", "not a package");
    program_run running(program, options("/S /V\"WAITFOR=" + windows_path(go) + "\""));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(go + ".started") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::vector<std::string> folders = work_folders_left();
    std::string swap = "no package";
    if (fs::exists(go + ".started") && folders.size() == 1)
        swap = intruder_swap(temp_ + "/" + folders[0] + "/QuillMsi.msi", dir_ + "/theirs.msi");
    write_file(go, "go");
    const run_result r = running.wait();
    EXPECT_EQ(swap.rfind("refused", 0), 0u) << swap;
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(read_file(drive_c("Program Files/QuillMsi/payload.txt")), "Quill payload\n");
    EXPECT_TRUE(work_folders_left().empty());
}

// msiexec gets a value with blanks in quotation marks, so that the whole
// value is set.
TEST_F(MsiKind, APropertyKeepsItsBlanks) {
    const std::string program = packed(installer("QuillMsi.msi"), {});
    const run_result r = run(program, "/S /V\"GREETING=two words\"");
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(registry_value(key, "Greeting"), "two words");
    EXPECT_NE(log().find("Parameters: /qn GREETING=\"two words\"\r\n"), std::string::npos) << log();
}

const message_box refused_box(const std::string& argument) {
    return {"Option not allowed",
            "\"" + argument + "\" is not passed on: the setup program's options are set by the vendor."};
}

// Whoever starts the signed program does not choose msiexec's patches,
// transforms, packages or log: each such argument ends the run with its
// box, and msiexec never starts.
TEST_F(MsiKind, TheCallersPatchesTransformsAndLogsAreRefused) {
    const std::string program = packed(installer("QuillMsi.msi"), {pack::value_record("msilog", "ON")});
    write_file(dir_ + "/evil.msp", "not a patch");
    const std::string evil = windows_path(dir_ + "/evil.msp");
    const struct {
        std::string arguments, refused;
    } rows[] = {
        {"/p " + evil, "/p"},
        {"-Update " + evil, "-Update"},
        {"/package " + evil, "/package"},
        {"/fa " + evil, "/fa"},
        {"/x {3A1F0C52-7D4B-4E8A-9C61-5B2E8F0D1A73}", "/x"},
        {"/l*v C:\\Windows\\x.log", "/l*v"},
        {"-LOG C:\\Windows\\x.log", "-LOG"},
        {"TRANSFORMS=" + evil, "TRANSFORMS=" + evil},
        {"/V\"GREETING=hi patch=" + evil + "\"", "patch=" + evil},
        {"/V\"MSIPATCHREMOVE=x\"", "MSIPATCHREMOVE=x"},
    };
    for (const auto& row : rows) {
        fs::remove(temp_ + "/Trevan.log.txt");
        run_options o = options(row.arguments);
        o.timeout = std::chrono::seconds(120);
        const run_result r = run_program(program, o);
        EXPECT_EQ(r.exit_code, 1u) << row.arguments;
        EXPECT_EQ(r.boxes, std::vector<message_box>{refused_box(row.refused)}) << row.arguments;
        EXPECT_NE(log().find("Message box: Option not allowed: \"" + row.refused + "\""), std::string::npos) << log();
        EXPECT_EQ(log().find("Parameters:"), std::string::npos) << "nothing started: " << log();
        EXPECT_FALSE(fs::exists(drive_c("Program Files/QuillMsi/payload.txt"))) << row.arguments;
        EXPECT_TRUE(work_folders_left().empty());
    }
    // The vendor may let some through.
    const std::string allowing =
        packed(installer("QuillMsi.msi"), {pack::value_record("allowed_options", "/l")});
    const run_result allowed = run(allowing, "/S /l*v " + windows_path(dir_ + "/mine.log"));
    EXPECT_EQ(allowed.exit_code, 0u);
    EXPECT_TRUE(allowed.boxes.empty());
    EXPECT_TRUE(fs::exists(dir_ + "/mine.log"));
}

// Inno's log and settings files, Burn's log and layout: refused the same
// way, in any letter case; an unattended run only logs the box.
TEST_F(KindRun, InnoAndBurnRefuseTheCallersLogAndSettingsFiles) {
    const struct {
        const char* kind;
        const char* arguments;
        const char* refused;
    } rows[] = {
        {"inno", "/LOG=C:\\Windows\\x.sys", "/LOG=C:\\Windows\\x.sys"},
        {"inno", "/log", "/log"},
        {"inno", "\"/LoadInf=C:\\Users\\Public\\a b.inf\"", "/LoadInf=C:\\Users\\Public\\a b.inf"},
        {"inno", "/SAVEINF=C:\\x.inf", "/SAVEINF=C:\\x.inf"},
        {"burn", "-log C:\\Windows\\x.sys", "-log"},
        {"burn", "/L x.log", "/L"},
        {"burn", "/layout C:\\x", "/layout"},
    };
    for (const auto& row : rows) {
        std::vector<pack::record> container = sample_records();
        container.push_back(pack::value_record("kind", row.kind));
        const std::string program = build(container);
        fs::remove(records_file_);
        const run_result r = run(program, row.arguments);
        EXPECT_EQ(r.exit_code, 1u) << row.arguments;
        EXPECT_EQ(r.boxes, std::vector<message_box>{refused_box(row.refused)}) << row.arguments;
        EXPECT_TRUE(records().empty()) << row.kind << " " << row.arguments << ": the setup program started";
        const run_result silent = run(program, std::string("/S ") + row.arguments);
        EXPECT_EQ(silent.exit_code, 1u) << row.arguments;
        EXPECT_TRUE(silent.boxes.empty());
        EXPECT_NE(log().find("Message box (not shown, unattended): Option not allowed: \"" + std::string(row.refused)),
                  std::string::npos)
            << log();
        EXPECT_TRUE(records().empty()) << row.arguments;
        EXPECT_TRUE(work_folders_left().empty());
    }
}

// Windows takes no command line past 32,767 characters: a run whose
// command line would be longer shows the launch failure and starts nothing.
TEST_F(KindRun, ACommandLinePastTheLimitStartsNothing) {
    std::vector<pack::record> container = sample_files();
    container.push_back(pack::value_record("executable64", "%installer64%"));
    container.push_back(pack::value_record("kind", "plain"));
    container.push_back(pack::value_record("parameters", std::string(32000, 'p')));
    const std::string program = build(container);
    const run_result fits = run(program, "/S");
    EXPECT_EQ(fits.exit_code, 0u);
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].parameters(), std::string(32000, 'p') + " /S");
    fs::remove(records_file_);
    const run_result past = run(program, std::string(1000, 'a'));
    EXPECT_EQ(past.exit_code, 1u);
    EXPECT_EQ(past.boxes, (std::vector<message_box>{{"ShellExecuteEx failed", "Unable to spawn process"}}));
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(work_folders_left().empty());
}

// What trevan-pack plan says is what the setup program receives, but for
// the sample machine's folders.
TEST_F(KindRun, ThePlanIsWhatTheSetupProgramReceives) {
    const std::string arguments = "/s /V\"A=1\" /D=C:\\x y /Q";
    for (const char* kind : {"", "nsis", "inno", "burn", "plain"}) {
        std::vector<pack::record> container = sample_records();
        container.push_back(pack::value_record("parameters", "/P=%installer32%"));
        if (*kind) container.push_back(pack::value_record("kind", kind));
        const std::string program = build(container);

        run_result r = run(program, arguments);
        ASSERT_EQ(r.exit_code, 0u) << kind;
        std::vector<standin_record> started = records();
        std::remove(records_file_.c_str());
        ASSERT_EQ(started.size(), 1u) << kind;

        file_reader reader(program);
        SettingsMap settings;
        ASSERT_TRUE(walk_container(reader, settings).ok);
        pack::plan_request request;
        request.architectures = {64};
        request.arguments = arguments;
        const setup_start planned = pack::plan_runs(settings, request).runs.at(0).start;
        const std::string& path = started[0].path;
        std::string expected = vennic::replace_all_copy(planned.command_line, pack::sample_work_folder(),
                                                        path.substr(0, path.rfind('\\') + 1));
        vennic::replace_all(expected, pack::sample_temp, temp_windows());
        EXPECT_EQ(started[0].command_line, expected) << kind;
    }
}

// The arguments after `plan --` are shown as a Windows caller quotes them,
// which is what the run then receives from such a caller.
TEST_F(KindRun, ThePlanQuotesTheArgumentsAsTheRunReceivesThem) {
    const std::vector<std::vector<std::string>> cases = {
        {"/DIR=C:\\Inno Custom Dir", "/S"},
        {"say \"hi\"", "C:\\trailing\\\\", "C:\\with blank\\\\"},
    };
    for (const char* kind : {"inno", "plain"}) {
        std::vector<pack::record> container = sample_records();
        container.push_back(pack::value_record("kind", kind));
        const std::string program = build(container);
        file_reader reader(program);
        SettingsMap settings;
        ASSERT_TRUE(walk_container(reader, settings).ok);
        for (const std::vector<std::string>& arguments : cases) {
            fs::remove(records_file_);
            pack::plan_request request;
            request.architectures = {64};
            request.arguments = pack::windows_command_line(arguments);
            const setup_start planned = pack::plan_runs(settings, request).runs.at(0).start;
            ASSERT_FALSE(planned.failure) << kind;
            const run_result r = run(program, request.arguments);
            ASSERT_EQ(r.exit_code, 0u) << kind << " " << request.arguments;
            const std::vector<standin_record> started = records();
            ASSERT_EQ(started.size(), 1u);
            const std::string& path = started[0].path;
            std::string expected = vennic::replace_all_copy(planned.command_line, pack::sample_work_folder(),
                                                            path.substr(0, path.rfind('\\') + 1));
            vennic::replace_all(expected, pack::sample_temp, temp_windows());
            EXPECT_EQ(started[0].command_line, expected) << kind;
            // Behind the container's parameters, exactly as the caller wrote them.
            if (std::string(kind) == "plain") {
                const std::string& received = started[0].command_line;
                EXPECT_EQ(received.substr(received.size() - request.arguments.size()), request.arguments);
            }
        }
    }
}

// No one to press OK: each box goes to the log instead, and the run goes on
// as if it had been pressed.
TEST_F(KindRun, AnUnattendedRunShowsNoBoxAndLogsEach) {
    std::vector<pack::record> records = sample_records();
    records.push_back(pack::value_record("kind", "wix"));
    const std::string program = build(records);
    const std::string box = "ShellExecuteEx failed: Unable to spawn process\r\n";

    run_result attended = run(program);
    EXPECT_EQ(attended.exit_code, 1u);
    EXPECT_EQ(attended.boxes, (std::vector<message_box>{{"ShellExecuteEx failed", "Unable to spawn process"}}));
    EXPECT_NE(log().find("Message box: " + box), std::string::npos) << log();

    fs::remove(temp_ + "/Trevan.log.txt");
    run_result silent = run(program, "/S");
    EXPECT_EQ(silent.exit_code, 1u);
    EXPECT_TRUE(silent.boxes.empty());
    EXPECT_NE(log().find("Message box (not shown, unattended): " + box), std::string::npos) << log();

    // A service's window station: a box there would wait for ever.
    fs::remove(temp_ + "/Trevan.log.txt");
    run_options service = options();
    service.window_station = "TrevanService";
    run_result unseen = run_program(program, service);
    EXPECT_FALSE(unseen.timed_out);
    EXPECT_EQ(unseen.exit_code, 1u);
    EXPECT_NE(log().find("Message box (not shown, unattended): " + box), std::string::npos) << log();

    // The same for a box that ends a run early.
    mutex_holder other("Global\\Vorbelquint.Installation");
    run_result busy = run(program, "/S");
    EXPECT_EQ(busy.exit_code, 1u);
    EXPECT_TRUE(busy.boxes.empty());
    EXPECT_NE(log().find("Message box (not shown, unattended): Already Running: Another installation is already "
                         "running or in the process of starting up. Please wait"),
              std::string::npos)
        << log();
    EXPECT_TRUE(work_folders_left().empty());
}

}  // namespace
}  // namespace trevan::harness
