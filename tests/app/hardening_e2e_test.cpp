// The elevated run under Wine with what an unprivileged process of the same
// user could prepare: links in the temporary folder and at the logs, a held
// log mutex, prepared work folder names, a setup program that reaches for
// its work folder, missing or escaping executable settings, types only a
// file association could start, unusual temporary folders and a planted
// library.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <thread>

#include "tests/app/run_fixture.h"

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

const message_box not_started{"ShellExecuteEx failed", "Unable to spawn process"};
const message_box no_work_folder{"SetCurrentDirectory failed", "Unable to set Working Directory"};

const std::string stamp = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}    )";

class Hardening : public ProgramRun {
protected:
    // sample_records() without the executable settings, plus the given ones.
    std::vector<pack::record> records_with(const std::vector<pack::record>& executables) const {
        std::vector<pack::record> records = sample_files();
        for (const pack::record& v : sample_values())
            if (v.name != "executable32" && v.name != "executable64") records.push_back(v);
        records.insert(records.end(), executables.begin(), executables.end());
        return records;
    }

    // Waits until the stand-in has started and returns the run's work folder.
    std::string work_folder_while_running() {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (records().empty() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::vector<std::string> folders = work_folders_left();
        return folders.size() == 1 ? temp_ + "/" + folders[0] : std::string();
    }
};

TEST_F(Hardening, OnlyAFileDirectlyInTheWorkFolderIsEverStarted) {
    // A setup program planted beside the work folder, which an escaping
    // setting would reach.
    fs::copy_file(standin_path(), temp_ + "/VorbelquintSetup_x64.exe");
    const struct {
        const char* label;
        std::vector<pack::record> executables;
    } rows[] = {
        // Formerly the work folder itself went to the shell: a file manager
        // opened and the run never ended.
        {"no setting", {}},
        {"empty", {pack::value_record("executable64", "")}},
        {"dot", {pack::value_record("executable64", ".")}},
        {"parent", {pack::value_record("executable64", "..\\VorbelquintSetup_x64.exe")}},
        {"not extracted", {pack::value_record("executable64", "NoSuchSetup.exe")}},
    };
    for (const auto& row : rows) {
        fs::remove(records_file_);
        const std::string program = build(records_with(row.executables));
        run_options o = options();
        o.timeout = std::chrono::seconds(30);
        run_result r = run_program(program, o);
        EXPECT_FALSE(r.timed_out) << row.label;
        EXPECT_EQ(r.exit_code, 1u) << row.label;
        EXPECT_EQ(r.boxes, std::vector<message_box>{not_started}) << row.label;
        EXPECT_TRUE(records().empty()) << row.label;
        EXPECT_TRUE(work_folders_left().empty()) << row.label;
    }
}

// A Windows Installer package starts through the system's msiexec.exe, a
// real one (wixl builds it here), which installs it with the parameters and
// whose exit code passes through; any type that only a file association
// could start is refused.
TEST_F(Hardening, APackageStartsThroughMsiexecAndNoOtherTypeStarts) {
    const std::string package = dir_ + "/Setup.msi";
    const std::string make = "wixl -o '" + package + "' '" + source_dir() + "/tests/app/tiny_package.wxs' 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0) << make;
    write_file(dir_ + "/Setup.cmd", "@echo parameters %*>>\"%TREVAN_STANDIN_LOG%\"\r\n@exit /b 5\r\n");
    write_file(dir_ + "/Setup.txt", "no program");
    const std::string key = "HKLM\\Software\\TrevanTests\\TinyPackage";
    auto installed = [&] {
        std::string output;
        run_wine({"reg", "query", key, "/v", "Outcome", "/reg:32"}, &output);
        return output.find("pass") != std::string::npos;
    };
    run_wine({"msiexec", "/x", windows_path(package), "/qn"});
    ASSERT_FALSE(installed());

    const struct {
        const char* stored;
        const char* parameters;
        std::uint32_t exit_code;
        std::vector<message_box> boxes;
    } rows[] = {
        // The property fails the package's condition: msiexec's own code.
        {"Setup.msi", "/qn OUTCOME=fail ", 1603, {}},
        {"Setup.msi", "/qn ", 0, {}},
        {"Setup.cmd", "/qn ", 1, {not_started}},
        {"Setup.txt", "/qn ", 1, {not_started}},
    };
    for (const auto& row : rows) {
        const std::string program =
            build({pack::file_record("installer64", row.stored, dir_ + "/" + row.stored),
                   pack::value_record("executable64", "%installer64%"),
                   pack::value_record("parameters", row.parameters)});
        run_options o = options();
        o.timeout = std::chrono::seconds(120);
        const run_result r = run_program(program, o);
        EXPECT_FALSE(r.timed_out) << row.stored << " " << row.parameters;
        EXPECT_EQ(r.exit_code, row.exit_code) << row.stored << " " << row.parameters;
        EXPECT_EQ(r.boxes, row.boxes) << row.stored << " " << row.parameters;
        EXPECT_TRUE(work_folders_left().empty()) << row.stored;
    }
    EXPECT_TRUE(installed()) << "msiexec did not install the package";
    EXPECT_EQ(read_file(records_file_), "") << "the command file ran";
    run_wine({"msiexec", "/x", windows_path(package), "/qn"});
}

TEST_F(Hardening, LinksAtTheLogPathsAreNeverFollowed) {
    const std::string program = build(sample_records());
    enum class link { symbolic, hard, dangling };
    const struct {
        const char* label;
        const char* name;
        link kind;
        bool read_only;  // what an attribute reset would change
    } rows[] = {
        {"log symlink", "Trevan.log.txt", link::symbolic, false},
        {"log hard link", "Trevan.log.txt", link::hard, false},
        {"log dangling symlink", "Trevan.log.txt", link::dangling, false},
        {"msi log symlink", "KELMO_msi.log.txt", link::symbolic, true},
        {"msi log hard link", "KELMO_msi.log.txt", link::hard, true},
        {"msi log dangling symlink", "KELMO_msi.log.txt", link::dangling, true},
    };
    int n = 0;
    for (const auto& row : rows) {
        fs::remove(records_file_);
        const std::string temp = dir_ + "/temp" + std::to_string(n);
        const std::string target = dir_ + "/target" + std::to_string(n++);
        fs::create_directories(temp);
        if (row.kind != link::dangling) {
            write_file(target, "theirs");
            if (row.read_only)
                fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
        if (row.kind == link::hard)
            fs::create_hard_link(target, temp + "/" + row.name);
        else
            fs::create_symlink(target, temp + "/" + row.name);
        const fs::perms before = row.kind == link::dangling ? fs::perms::none : fs::status(target).permissions();

        // The stand-in writes its log where its command line says, as the
        // MSI engine does.
        run_options o = options("", {{"TREVAN_STANDIN_ACTIONS", "msilog"}});
        o.temp_dir = temp;
        run_result r = run_program(program, o);
        EXPECT_EQ(r.exit_code, 0u) << row.label;
        EXPECT_TRUE(r.boxes.empty()) << row.label;
        EXPECT_EQ(records().size(), 1u) << row.label;
        if (row.kind == link::dangling) {
            EXPECT_FALSE(fs::exists(fs::symlink_status(target))) << row.label << ": created through the link";
        } else {
            EXPECT_EQ(read_file(target), "theirs") << row.label;
            EXPECT_EQ(fs::status(target).permissions(), before) << row.label;
        }
        if (row.read_only) {
            // No log option for a log the run cannot hold, and the run's
            // log says why.
            EXPECT_NE(read_file(records_file_).find("msilog none"), std::string::npos) << row.label;
            const std::string log = read_file(temp + "/Trevan.log.txt");
            EXPECT_NE(log.find("MSI log option left out: KELMO_msi.log.txt cannot be held"), std::string::npos)
                << row.label;
        }
        for (const std::string& entry : r.temp_entries)
            EXPECT_EQ(entry.rfind("VORBELQ", 0), std::string::npos) << row.label << ": " << entry;
    }
}

// The MSI log the setup program is pointed at is the run's own plain file,
// held until the setup program has ended: a user process cannot put
// anything else at its name meanwhile, and the setup program writes it.
TEST_F(Hardening, TheMsiLogIsHeldForTheSetupProgram) {
    const std::string program = build(sample_records());
    write_file(dir_ + "/theirs.txt", "theirs");
    const std::string go = dir_ + "/go";
    program_run running(program, options("", {{"TREVAN_STANDIN_ACTIONS", "wait,msilog"},
                                              {"TREVAN_STANDIN_GO", windows_path(go)}}));
    ASSERT_FALSE(work_folder_while_running().empty());
    const std::string swap = intruder_swap(temp_ + "/KELMO_msi.log.txt", dir_ + "/theirs.txt");
    write_file(go, "go");
    const run_result r = running.wait();
    EXPECT_EQ(swap.rfind("refused", 0), 0u) << swap;
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_NE(read_file(records_file_).find("msilog written"), std::string::npos) << read_file(records_file_);
    EXPECT_EQ(read_file(temp_ + "/KELMO_msi.log.txt"), "=== Verbose logging started ===\r\n");
    EXPECT_EQ(read_file(dir_ + "/theirs.txt"), "theirs");
}

TEST_F(Hardening, AHeldLogMutexCostsTheLogNotTheRun) {
    const std::string program = build(sample_records());
    std::string name = "log-" + temp_windows() + "Trevan";
    std::replace(name.begin(), name.end(), '\\', '_');
    mutex_holder other("Global\\" + name);
    run_result r = run(program);
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(records().size(), 1u);
    // Opened, but no line could be written: not even the mark.
    EXPECT_EQ(read_file(temp_ + "/Trevan.log.txt"), "");
    EXPECT_TRUE(work_folders_left().empty());
}

TEST_F(Hardening, TheSetupProgramCannotRenameItsWorkFolder) {
    const std::string program = build(sample_records());
    run_result r = run(program, "", {{"TREVAN_STANDIN_ACTIONS", "rename-folder"}});
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    const std::string record = read_file(records_file_);
    EXPECT_NE(record.find("rename-folder refused"), std::string::npos) << record;
    EXPECT_EQ(r.temp_entries, (std::vector<std::string>{"KELMO_msi.log.txt", "Trevan.log.txt"}));
}

// A setup program that starts a tool by its bare name, as installers start
// reg.exe: the search takes the current directory before the system's, so
// a reg.exe the user put in the temporary folder would run elevated.
TEST_F(Hardening, AToolStartedByItsBareNameIsNeverTheTemporaryFoldersOwn) {
    const std::string program = build(sample_records());
    fs::copy_file(standin_path(), temp_ + "/reg.exe");
    const run_result r = run(program, "", {{"TREVAN_STANDIN_ACTIONS", "tool:reg.exe"}});
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    // Only the setup program recorded its start: the planted one never ran.
    const std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u) << read_file(records_file_);
    EXPECT_EQ(started[0].cwd, started[0].path.substr(0, started[0].path.rfind('\\')));
    EXPECT_NE(read_file(records_file_).find("tool reg.exe exit "), std::string::npos) << read_file(records_file_);
    EXPECT_TRUE(work_folders_left().empty());
}

// A temporary folder of 240 characters: the setup program's path in the
// work folder passes MAX_PATH, where no program starts and msiexec opens no
// package. The run ends with its box, and its clean-up, made through the
// held folders, leaves nothing but the logs.
TEST_F(Hardening, AWorkFolderPastMaxPathStartsNothingAndLeavesOnlyTheLogs) {
    std::string temp = dir_ + "/long";
    while (windows_path(temp).size() < 239)
        temp += "/" + std::string(std::min<std::size_t>(100, 238 - windows_path(temp).size()), 'l');
    fs::create_directories(temp);
    ASSERT_EQ(windows_path(temp).size() + 1, 240u);
    const struct {
        const char* label;
        std::vector<pack::record> records;
    } rows[] = {
        {"program", sample_records()},
        {"package",
         {pack::file_record("installer64", "", win64_dir() + "/tests/installers/QuillMsi.msi"),
          pack::value_record("executable64", "%installer64%"), pack::value_record("parameters", "/qn"),
          pack::value_record("msilog", "ON")}},
    };
    for (const auto& row : rows) {
        const std::string program = build(row.records);
        run_options o = options();
        o.temp_dir = temp;
        o.timeout = std::chrono::seconds(120);
        const run_result r = run_program(program, o);
        EXPECT_EQ(r.exit_code, 1u) << row.label;
        EXPECT_EQ(r.boxes, std::vector<message_box>{not_started}) << row.label;
        EXPECT_TRUE(records().empty()) << row.label;
        EXPECT_EQ(r.temp_entries, (std::vector<std::string>{"KELMO_msi.log.txt", "Trevan.log.txt"})) << row.label;
        EXPECT_NE(read_file(temp + "/Trevan.log.txt").find("File: " + windows_path(temp) + "\\VORBELQ"),
                  std::string::npos)
            << row.label;
        fs::remove(temp + "/Trevan.log.txt");
    }
}

TEST_F(Hardening, AFileLinkInTheWorkFolderLeavesItsTargetWhole) {
    const std::string program = build(sample_records());
    const std::string target = dir_ + "/target.txt";
    write_file(target, "mine");
    const std::string go = dir_ + "/go";

    program_run running(program, options("", {{"TREVAN_STANDIN_ACTIONS", "wait"},
                                              {"TREVAN_STANDIN_GO", windows_path(go)}}));
    // While the setup program runs, a link to a file outside appears in the
    // work folder.
    const std::string work = work_folder_while_running();
    ASSERT_FALSE(work.empty());
    fs::create_symlink(target, work + "/link.txt");
    write_file(go, "go");
    run_result r = running.wait();

    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    EXPECT_EQ(read_file(target), "mine");
    // Everything else of the work folder is gone. Windows removes the link
    // itself; Wine cannot remove a Linux symlink through any Windows call,
    // so there the link and its folder stay.
    if (fs::exists(work)) {
        EXPECT_EQ(list_tree(work), std::vector<std::string>{"link.txt"});
    }
}

// A Wine drive letter that leads to a test folder, for the test's length.
class mapped_drive {
public:
    mapped_drive(const std::string& letter, const std::string& folder)
        : link_(wine_prefix() + "/dosdevices/" + letter + ":") {
        fs::remove(link_);
        fs::create_directory_symlink(folder, link_);
    }
    ~mapped_drive() {
        std::error_code ignored;
        fs::remove(link_, ignored);
    }
    mapped_drive(const mapped_drive&) = delete;
    mapped_drive& operator=(const mapped_drive&) = delete;

private:
    std::string link_;
};

TEST_F(Hardening, ATemporaryFolderAtADrivesRoot) {
    const std::string program = build(sample_records());
    const std::string root = dir_ + "/root";
    fs::create_directories(root);
    mapped_drive drive("t", root);
    run_options o = options();
    o.temp_dir = root;
    o.temp_windows = "T:\\";
    run_result r = run_program(program, o);

    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(std::regex_match(started[0].path, std::regex(R"(T:\\VORBELQ-?\d+\\VorbelquintSetup_x64\.exe)")))
        << started[0].path;
    EXPECT_EQ(started[0].cwd, started[0].path.substr(0, started[0].path.rfind('\\')));
    EXPECT_EQ(started[0].parameters(),
              " /V\"/l*v \\\"T:\\KELMO_msi.log.txt\\\"  USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"");
    // The work folder is gone, the log is there.
    EXPECT_EQ(r.temp_entries, (std::vector<std::string>{"KELMO_msi.log.txt", "Trevan.log.txt"}));
    EXPECT_TRUE(std::regex_search(read_file(root + "/Trevan.log.txt"), std::regex(stamp + "File: T:\\\\VORBELQ")));
}

TEST_F(Hardening, ATemporaryFolderOutsideTheCodePageIsUsedInItsShortForm) {
    const std::string program = build(sample_records());
    // Cyrillic: not in the prefix's code page 1252.
    const std::string temp = dir_ + "/temp-\xD0\x96\xD1\x83\xD0\xBA";
    fs::create_directories(temp);
    run_options o = options();
    o.temp_dir = temp;
    run_result r = run_program(program, o);

    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    const standin_record& s = started[0];
    // The file as started (Wine reports a program's own path in its long
    // form, so the command line tells).
    ASSERT_EQ(s.command_line.substr(0, 1), "\"");
    const std::string file = s.command_line.substr(1, s.command_line.find('"', 1) - 1);
    for (char c : file + s.cwd) EXPECT_GT(static_cast<signed char>(c), 0) << file << " in " << s.cwd;
    // Started in the short form of the folder, in a work folder in it.
    std::smatch m;
    ASSERT_TRUE(std::regex_match(file, m, std::regex(R"((.*)\\VORBELQ-?\d+\\VorbelquintSetup_x64\.exe)"))) << file;
    const std::string temp_short = m[1];
    EXPECT_EQ(s.cwd, file.substr(0, file.rfind('\\')));
    EXPECT_EQ(s.parameters(),
              " /V\"/l*v \\\"" + temp_short + "\\KELMO_msi.log.txt\\\"  USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"");
    EXPECT_EQ(r.temp_entries, (std::vector<std::string>{"KELMO_msi.log.txt", "Trevan.log.txt"}));
    EXPECT_NE(read_file(temp + "/Trevan.log.txt").find("File: " + file + "\r\n"), std::string::npos);
}

// The temporary folder comes from the user's environment. Where it is a
// link, or lies behind one, the elevated run creates nothing there (the run
// ends as for a temporary folder that is a file); where it is missing, the
// run does not create it but goes on in the fixed folder, as when the system
// gives none.
TEST_F(Hardening, ATemporaryFolderIsNeverCreatedNorReachedThroughALink) {
    const std::string program = build(sample_records());
    const std::string target = dir_ + "/target";
    fs::create_directories(target + "/temp");
    fs::create_directory_symlink(target, dir_ + "/linked");
    const struct {
        const char* label;
        std::string temp;
    } rows[] = {
        {"a link", dir_ + "/linked"},
        {"behind a link", dir_ + "/linked/temp"},
    };
    for (const auto& row : rows) {
        run_options o = options();
        o.temp_windows = windows_path(row.temp) + "\\";
        const run_result r = run_program(program, o);
        EXPECT_EQ(r.exit_code, 1u) << row.label;
        EXPECT_EQ(r.boxes, std::vector<message_box>{no_work_folder}) << row.label;
        EXPECT_TRUE(records().empty()) << row.label;
        EXPECT_EQ(list_tree(target), std::vector<std::string>{"temp/"}) << row.label;
    }

    run_options o = options();
    o.temp_windows = windows_path(dir_ + "/missing") + "\\";
    const run_result r = run_program(program, o);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_EQ(r.boxes, (std::vector<message_box>{{"GetTempPath failed", "Unable to get Temporary Directory"}}));
    EXPECT_FALSE(fs::exists(dir_ + "/missing"));
    const std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].cwd.rfind("C:\\Temp\\VORBELQ", 0), 0u) << started[0].cwd;
}

// Folders at every name the time-based try and a hundred more would take:
// the run goes on with unpredictable names.
TEST_F(Hardening, FourHundredAndOnePreparedFoldersCostNothing) {
    const std::string program = build(sample_records());
    const long long now =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
    std::vector<std::string> prepared;
    for (long long t = now; t <= now + 400; ++t) {
        prepared.push_back("VORBELQ" + std::to_string(static_cast<std::int32_t>(static_cast<std::uint32_t>(t))));
        fs::create_directory(temp_ + "/" + prepared.back());
    }
    const run_result r = run(program);
    EXPECT_EQ(r.exit_code, 0u);
    EXPECT_TRUE(r.boxes.empty());
    const std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    std::smatch m;
    ASSERT_TRUE(std::regex_search(started[0].path, m, std::regex(R"(\\(VORBELQ-?\d+)\\)"))) << started[0].path;
    EXPECT_EQ(std::find(prepared.begin(), prepared.end(), m[1].str()), prepared.end()) << m[1];
    EXPECT_EQ(work_folders_left().size(), prepared.size());
}

TEST_F(Hardening, ALibraryBesideTheProgramIsNotLoaded) {
    const std::string downloads = dir_ + "/Downloads";
    fs::create_directories(downloads);
    fs::copy_file(win64_dir() + "/tests/app/dll_probe.exe", downloads + "/dll_probe.exe");
    fs::copy_file(win64_dir() + "/tests/app/trevan_planted.dll", downloads + "/trevan_planted.dll");
    run_options o;
    EXPECT_EQ(run_program(downloads + "/dll_probe.exe", o).exit_code, 0u) << "loaded despite the restriction";
    // The probe can see it: without the restriction the library is loaded.
    o.args = "--unprotected";
    EXPECT_EQ(run_program(downloads + "/dll_probe.exe", o).exit_code, 1u);
}

}  // namespace
}  // namespace trevan::harness
