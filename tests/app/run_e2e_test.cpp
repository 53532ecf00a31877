// The program from start to end under Wine: every way a run can end, what it
// leaves behind, and the exit code.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "tests/app/run_fixture.h"

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

class Ends : public ProgramRun {};

TEST_F(Ends, TheRoadOfOneRun) {
    const std::string program = build(sample_records());
    run_result r = run(program, "", {{"TREVAN_STANDIN_EXIT", "0"}});

    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exit_code, 0u);
    std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    const standin_record& s = started[0];

    // The 64-bit setup program, from a work folder in the temporary folder.
    std::smatch m;
    const std::regex setup_path(regex_escape(temp_windows()) +
                                R"(VORBELQ-?\d+\\VorbelquintSetup_x64\.exe)");
    EXPECT_TRUE(std::regex_match(s.path, setup_path)) << s.path;
    EXPECT_EQ(s.command_line.substr(0, s.path.size() + 2), "\"" + s.path + "\"");
    // Started in the held work folder, not in the temporary folder, which
    // every process of the user may write.
    EXPECT_EQ(s.cwd, s.path.substr(0, s.path.rfind('\\')));
    // The container's "/V" text with the verbose MSI log beside the work
    // folder, and two blanks before the partner identity.
    EXPECT_EQ(s.parameters(), " /V\"/l*v \\\"" + temp_windows() +
                                  "KELMO_msi.log.txt\\\"  USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"");

    // The work folder is gone; the log stays, and so does the MSI log, which
    // the run made for the setup program.
    EXPECT_EQ(r.temp_entries, (std::vector<std::string>{"KELMO_msi.log.txt", "Trevan.log.txt"}));
    const std::string log = read_file(temp_ + "/Trevan.log.txt");
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log.substr(0, 3), "\xEF\xBB\xBF");
    // Date, time, the level-1 blank between two and two blanks: four in all.
    const std::string stamp = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}    )";
    // The language of the program's own texts first (no translation carried:
    // English); the setup program's exit code when it has ended.
    const std::regex lines(stamp + R"(Texts: 1033 \((UI language|English)\))" + "\r\n" + stamp + "\r\n" + stamp + "File: " + regex_escape(s.path) +
                           "\r\n" + stamp + "Parameters: .*\r\n" + stamp + "\r\n" + stamp +
                           R"(Exit code: 0 \(0x00000000\))" + "\r\n");
    EXPECT_TRUE(std::regex_match(log.substr(3), lines)) << log;
    EXPECT_NE(log.find("Parameters: " + s.parameters() + "\r\n"), std::string::npos) << log;
}

TEST_F(Ends, ALogThatCannotBeOpenedCostsOnlyTheLogLines) {
    const std::string program = build(sample_records());
    // A folder where the log file would be.
    fs::create_directories(temp_ + "/Trevan.log.txt");
    run_result r = run(program, "", {{"TREVAN_STANDIN_EXIT", "7"}});
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(r.exit_code, 7u);
    EXPECT_EQ(records().size(), 1u);
    EXPECT_TRUE(fs::is_empty(temp_ + "/Trevan.log.txt"));
    EXPECT_TRUE(work_folders_left().empty());
}

TEST_F(Ends, AReadOnlyMsiLogOfAnEarlierRunBecomesWritable) {
    const std::string program = build(sample_records());
    const std::string msi_log = temp_ + "/KELMO_msi.log.txt";
    write_file(msi_log, "earlier run");
    fs::permissions(msi_log, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    run_result r = run(program);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_NE(fs::status(msi_log).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(read_file(msi_log), "earlier run");
}

TEST_F(Ends, TheSetupProgramsExitCodePassesThroughWhole) {
    const std::string program = build(sample_records());
    for (const char* code : {"0", "1602", "3010", "0xFFFFFFFF", "0x80070643"}) {
        run_result r = run(program, "", {{"TREVAN_STANDIN_EXIT", code}});
        EXPECT_EQ(r.exit_code, static_cast<std::uint32_t>(std::stoul(code, nullptr, 0))) << code;
        EXPECT_TRUE(r.boxes.empty()) << code;
        EXPECT_TRUE(work_folders_left().empty()) << code;
    }
    EXPECT_EQ(records().size(), 5u);
}

TEST_F(Ends, AlreadyRunningWhileAnotherRunHoldsTheMutex) {
    const std::string program = build(sample_records());
    mutex_holder other("Global\\Vorbelquint.Installation");
    run_result r = run(program);
    EXPECT_EQ(r.exit_code, 1u);
    EXPECT_EQ(r.boxes, std::vector<message_box>{already_running});
    EXPECT_TRUE(work_folders_left().empty());
    EXPECT_TRUE(records().empty());
}

TEST_F(Ends, AnAbandonedInstanceMutexCountsAsFree) {
    const std::string program = build(sample_records());
    { mutex_holder ended_without_release("Global\\Vorbelquint.Installation"); }
    run_result r = run(program);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(Ends, ATemporaryPathThatIsAFileCannotHoldAWorkFolder) {
    const std::string program = build(sample_records());
    write_file(dir_ + "/file", "x");
    run_options o = options();
    o.temp_windows = windows_path(dir_ + "/file") + "\\";
    run_result r = run_program(program, o);
    EXPECT_EQ(r.exit_code, 1u);
    EXPECT_EQ(r.boxes, (std::vector<message_box>{{"SetCurrentDirectory failed", "Unable to set Working Directory"}}));
    EXPECT_TRUE(records().empty());
}

TEST_F(Ends, AProgramWithNothingAppendedIsAnInvalidArchive) {
    fs::copy_file(program_path(), dir_ + "/Plain.exe");
    run_result r = run(dir_ + "/Plain.exe");
    EXPECT_EQ(r.exit_code, 1u);
    // The marker text stands in the program's own data, but no tail chunk
    // ends at the end of the file: the search fails.
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(r.boxes[0].caption, "Failed to initialize archive!");
    EXPECT_EQ(r.boxes[0].text.rfind("File: " + windows_path(dir_ + "/Plain.exe") + "\rError: ", 0), 0u)
        << r.boxes[0].text;
    EXPECT_EQ(r.boxes[1], invalid_archive);
    EXPECT_TRUE(work_folders_left().empty());
    EXPECT_TRUE(records().empty());
}

TEST_F(Ends, ACorruptedChunkIsAnInvalidArchive) {
    const std::string program = build(sample_records());
    std::string bytes = read_file(program);
    // A byte inside the 64-bit setup program's data.
    const std::string marker = "chunked-installer-tail";
    const std::string::size_type tail = bytes.rfind(marker);
    ASSERT_NE(tail, std::string::npos);
    bytes[tail - 2000] ^= 0x20;
    write_file(program, bytes);
    run_result r = run(program);
    EXPECT_EQ(r.exit_code, 1u);
    EXPECT_EQ(r.boxes, std::vector<message_box>{invalid_archive});
    EXPECT_TRUE(work_folders_left().empty());
    EXPECT_TRUE(records().empty());
}

TEST_F(Ends, AFileThatCannotBeWrittenIsReportedThenTheArchiveIsInvalid) {
    const std::string image = read_file(program_path());
    std::string container;
    append_stub(container, image, "Trevan.exe");
    // A bare name, but longer than any file system takes.
    const std::string long_name = std::string(300, 'n') + ".exe";
    append_file_record(container, "installer64", long_name, "data");
    for (const pack::record& v : sample_values()) append_value_record(container, v.name, v.text);
    append_tail(container);
    write_file(dir_ + "/Setup.exe", container);

    run_result r = run(dir_ + "/Setup.exe");
    EXPECT_EQ(r.exit_code, 1u);
    ASSERT_EQ(r.boxes.size(), 2u);
    EXPECT_EQ(r.boxes[0].caption, "Failed to extract file!");
    const std::regex text("File: " + regex_escape(temp_windows()) + R"(VORBELQ-?\d+\\)" + long_name +
                          "\rError: .+");
    EXPECT_TRUE(std::regex_match(r.boxes[0].text, text)) << r.boxes[0].text;
    EXPECT_EQ(r.boxes[1], invalid_archive);
    EXPECT_TRUE(work_folders_left().empty());
}

TEST_F(Ends, ASetupProgramThatDoesNotExistCannotBeStarted) {
    std::vector<pack::record> container = sample_files();
    container.push_back(pack::value_record("executable64", "NoSuchSetup.exe"));
    const std::string program = build(container);
    run_result r = run(program);
    EXPECT_EQ(r.exit_code, 1u);
    // The shell may show its own error first (the launch asks for its UI).
    ASSERT_FALSE(r.boxes.empty());
    EXPECT_LE(r.boxes.size(), 2u);
    EXPECT_EQ(r.boxes.back(), (message_box{"ShellExecuteEx failed", "Unable to spawn process"}));
    EXPECT_TRUE(work_folders_left().empty());
    EXPECT_TRUE(records().empty());
}

TEST_F(Ends, AnExceptionReachesTheTopLevelHandler) {
    const std::string program = build(sample_records(), no2002_program_path());
    run_result r = run(program);
    EXPECT_EQ(r.exit_code, 1u);
    EXPECT_EQ(r.boxes, (std::vector<message_box>{{"[resource string 2002 is not found]", "Unhandled Exception"}}));
    EXPECT_TRUE(work_folders_left().empty());
    EXPECT_TRUE(records().empty());
}

TEST_F(Ends, LeftoversOfTheSetupProgramKeepTheWorkFolder) {
    const std::string program = build(sample_records());
    for (const char* action : {"readonly", "cache"}) {
        run_result r = run(program, "", {{"TREVAN_STANDIN_ACTIONS", action}, {"TREVAN_STANDIN_EXIT", "3010"}});
        EXPECT_EQ(r.exit_code, 3010u) << action;
        EXPECT_TRUE(r.boxes.empty()) << action;
        std::vector<std::string> left = work_folders_left();
        ASSERT_EQ(left.size(), 1u) << action;
        const std::string folder = temp_ + "/" + left[0];
        // Only what could not be deleted is left.
        const std::vector<std::string> expected =
            std::string(action) == "readonly" ? std::vector<std::string>{"locked.txt"}
                                              : std::vector<std::string>{".cache/", ".cache/data"};
        EXPECT_EQ(list_tree(folder), expected) << action;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
        if (fs::exists(folder + "/locked.txt"))
            fs::permissions(folder + "/locked.txt", fs::perms::owner_write, fs::perm_options::add);
        fs::remove_all(folder);
    }
}

TEST_F(Ends, APlantedFolderWithTheRunsNameIsNeverEntered) {
    const std::string program = build(sample_records());
    const long long now = std::chrono::duration_cast<std::chrono::seconds>(
                              std::chrono::system_clock::now().time_since_epoch()).count();
    std::vector<std::string> planted;
    for (long long t = now - 2; t <= now + 6; ++t) {
        const std::string folder = temp_ + "/VORBELQ" + std::to_string(t);
        fs::create_directories(folder);
        write_file(folder + "/VorbelquintSetup_x64.exe", "planted");
        write_file(folder + "/version.dll", "planted");
        planted.push_back("VORBELQ" + std::to_string(t));
    }
    run_result r = run(program);
    EXPECT_TRUE(r.boxes.empty());
    std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    for (const std::string& p : planted) {
        EXPECT_EQ(started[0].path.find("\\" + p + "\\"), std::string::npos) << started[0].path;
        EXPECT_EQ(read_file(temp_ + "/" + p + "/VorbelquintSetup_x64.exe"), "planted");
        EXPECT_EQ(read_file(temp_ + "/" + p + "/version.dll"), "planted");
    }
    EXPECT_EQ(work_folders_left().size(), planted.size());
}

TEST_F(Ends, ALinkInTheWorkFolderIsNeverFollowedAtCleanUp) {
    const std::string program = build(sample_records());
    const std::string target = dir_ + "/target";
    fs::create_directories(target + "/inner");
    write_file(target + "/keep.txt", "mine");
    write_file(target + "/inner/also.txt", "mine too");
    const std::string go = dir_ + "/go";

    program_run running(program, options("", {{"TREVAN_STANDIN_ACTIONS", "wait"},
                                              {"TREVAN_STANDIN_GO", windows_path(go)}}));
    // While the setup program runs, a link to a folder outside appears in
    // the work folder.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (records().empty() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::vector<std::string> folders = work_folders_left();
    ASSERT_EQ(folders.size(), 1u);
    const std::string work = temp_ + "/" + folders[0];
    fs::create_directory_symlink(target, work + "/link");
    write_file(go, "go");
    run_result r = running.wait();

    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    // Nothing behind the link was touched.
    EXPECT_EQ(read_file(target + "/keep.txt"), "mine");
    EXPECT_EQ(read_file(target + "/inner/also.txt"), "mine too");
    // Everything else of the work folder is gone. Windows removes the link
    // itself; Wine cannot remove a Linux symlink through any Windows call
    // (it resolves links on open), so there the link and its folder stay.
    if (fs::exists(work)) {
        EXPECT_EQ(list_tree(work), std::vector<std::string>{"link"});
    }
}

TEST_F(Ends, OfSimultaneousStartsExactlyOneRuns) {
    const std::string program = build(sample_records());
    for (int starts : {2, 4}) {
        fs::remove(records_file_);
        std::vector<program_run> runs;
        for (int i = 0; i < starts; ++i)
            runs.emplace_back(program, options("", {{"TREVAN_STANDIN_ACTIONS", "hold:1500"}}));
        int ran = 0, refused = 0;
        for (program_run& p : runs) {
            run_result r = p.wait();
            if (r.boxes.empty() && r.exit_code == 0) ++ran;
            if (r.exit_code == 1 && r.boxes == std::vector<message_box>{already_running}) ++refused;
        }
        EXPECT_EQ(ran, 1) << starts;
        EXPECT_EQ(refused, starts - 1) << starts;
        EXPECT_EQ(records().size(), 1u) << starts;
    }
}

}  // namespace
}  // namespace trevan::harness
