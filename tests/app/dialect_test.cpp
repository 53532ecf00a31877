// The command line of each kind of setup program, and what starts it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "app/dialect.h"

namespace trevan {
namespace {

const char work[] = "C:\\T\\VORBELQ5\\";
const char log_path[] = "C:\\T\\KELMO_msi.log.txt";

// A machine with an installer language of 1031 in the registry.
run_facts facts(const std::string& arguments) {
    run_facts f;
    f.arguments = arguments;
    f.work_folder = work;
    f.system_folder = "C:\\Windows\\system32";
    f.on_64bit_windows = true;
    f.read_language = [](language_source source) -> std::string {
        if (source == language_source::installer_language) return "1031";
        throw std::runtime_error("no value");
    };
    f.msi_log = log_path;
    return f;
}

SettingsMap container(const std::string& kind, const std::string& parameters, const std::string& msilog,
                      const std::string& file = "Setup_x64.exe") {
    SettingsMap s{{"executable64", "%installer64%"}, {"installer64", file}, {"installer32", "Setup.exe"}};
    if (!kind.empty()) s["kind"] = kind;
    if (!parameters.empty()) s["parameters"] = parameters;
    if (!msilog.empty()) s["msilog"] = msilog;
    return s;
}

TEST(Dialect, WithoutAKindTheCommandLineIsAssembledAsAlways) {
    SettingsMap settings = container("", "/V\"USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"", "ON");
    setup_start start = plan_setup_start(settings, facts("/S /v\"USER_PARTNER_IDENTITY=7 X=1\""));
    const std::string parameters = "/L1031 /S  /V\"/l*v \\\"C:\\T\\KELMO_msi.log.txt\\\"  X=1 "
                                   "USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"";
    EXPECT_EQ(start.parameters, parameters);
    EXPECT_EQ(start.command_line, "\"C:\\T\\VORBELQ5\\Setup_x64.exe\" " + parameters);
    EXPECT_EQ(start.program, "C:\\T\\VORBELQ5\\Setup_x64.exe");
    EXPECT_EQ(start.plan.method, start_method::create_process);
    EXPECT_TRUE(start.silent);
    EXPECT_FALSE(start.failure);
    // The run's settings after the assembly, as references and the log see them.
    EXPECT_EQ(settings["commandline"], "/S ");
}

TEST(Dialect, EachKindSpeaksItsOwnDialect) {
    const std::string msi = "\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\T\\VORBELQ5\\Setup.msi\"";
    const std::string exe = "\"C:\\T\\VORBELQ5\\Setup_x64.exe\"";
    struct row {
        const char* kind;
        const char* parameters;
        const char* msilog;
        const char* arguments;
        std::string command_line;
    };
    const row rows[] = {
        // msi: the /V property text becomes plain properties (the arguments
        // keep the blanks around the cut switch), /S is /qn,
        // the log is msiexec's own option, no /L.
        {"msi", "/norestart", "ON", "/S /V\"PROP=1 NAME=\\\"a b\\\"\" /x",
         msi + " /norestart /qn  /x PROP=1 NAME=\"a b\" /l*v \"C:\\T\\KELMO_msi.log.txt\""},
        {"msi", "", "", "/s /vUSER_PARTNER_IDENTITY=7", msi + " /qn"},
        {"msi", "", "on", "", msi + " "},
        // nsis: /D= last, reaching to the next switch; /s is NSIS's /S.
        {"nsis", "", "ON", "/S /D=C:\\CustomDir", exe + " /S /D=C:\\CustomDir"},
        {"nsis", "/NCRC", "", "/D=C:\\Program Files\\Quill /s /V\"\"", exe + " /NCRC /S /V\"\" /D=C:\\Program Files\\Quill"},
        {"nsis", "/D=C:\\Default", "", "\"/D=C:\\a b\" /S", exe + " /S /D=C:\\a b"},
        {"nsis", "/D=C:\\Default /S", "", "", exe + " /S /D=C:\\Default"},
        // inno and burn: their silent switches and log options.
        {"inno", "/SP-", "ON", "/S /DIR=\"C:\\x\"",
         exe + " /SP- /VERYSILENT /SUPPRESSMSGBOXES /NORESTART /DIR=\"C:\\x\" /LOG=\"C:\\T\\KELMO_msi.log.txt\""},
        {"inno", "", "", "/Silent", exe + " /Silent"},
        {"burn", "", "ON", "/s", exe + " /quiet /norestart /log \"C:\\T\\KELMO_msi.log.txt\""},
        // plain: as written, nothing added.
        {"plain", "-x", "ON", "/S /V\"X=1\"", exe + " -x /S /V\"X=1\""},
    };
    for (const row& r : rows) {
        const bool msi_kind = std::string(r.kind) == "msi";
        SettingsMap settings = container(r.kind, r.parameters, r.msilog, msi_kind ? "Setup.msi" : "Setup_x64.exe");
        setup_start start = plan_setup_start(settings, facts(r.arguments));
        EXPECT_EQ(start.command_line, r.command_line) << r.kind << " | " << r.arguments;
        EXPECT_EQ(start.plan.method, msi_kind ? start_method::msiexec : start_method::create_process) << r.kind;
        EXPECT_EQ(kind_name(start.kind), std::string(r.kind));

        // A log the run could not hold is left out.
        run_facts unheld = facts(r.arguments);
        unheld.msi_log.clear();
        SettingsMap again = container(r.kind, r.parameters, r.msilog, msi_kind ? "Setup.msi" : "Setup_x64.exe");
        EXPECT_EQ(plan_setup_start(again, unheld).command_line.find("KELMO"), std::string::npos) << r.kind;
    }
}

TEST(Dialect, TheContainersParametersAreExpandedTheArgumentsNot) {
    SettingsMap settings = container("plain", "/FROM=%source% /ALT=%installer32%", "");
    settings["source"] = "C:\\T\\VORBELQ5";
    setup_start start = plan_setup_start(settings, facts("%installer32%"));
    EXPECT_EQ(start.parameters, "/FROM=C:\\T\\VORBELQ5 /ALT=Setup.exe %installer32%");
}

TEST(Dialect, AKindTheProgramDoesNotKnowStartsNothing) {
    for (const char* kind : {"MSI", "wix", "nsis "}) {
        SettingsMap settings = container(kind, "", "");
        setup_start start = plan_setup_start(settings, facts("/S"));
        ASSERT_TRUE(start.failure) << kind;
        EXPECT_EQ(start.failure->caption, "ShellExecuteEx failed");
        EXPECT_EQ(start.failure->text, "Unable to spawn process");
        EXPECT_TRUE(start.silent);
    }
}

// The kind decides what starts the package, not its name's end; a name
// that is not bare starts nothing.
TEST(Dialect, KindMsiStartsAnyBareNameThroughMsiexec) {
    SettingsMap package = container("msi", "", "", "Setup.pkg");
    EXPECT_EQ(plan_setup_start(package, facts("")).plan.method, start_method::msiexec);
    SettingsMap outside = container("msi", "", "", "..\\Setup.msi");
    EXPECT_EQ(plan_setup_start(outside, facts("")).plan.method, start_method::refuse);
}

TEST(Dialect, OnlyAWholeArgumentSIsTheSilentSwitch) {
    const struct {
        const char* arguments;
        bool silent;
    } rows[] = {
        {"/S", true},          {"/s", true},         {"/Q  /S", true},     {"\"/S\"", true},
        {"/V\"/S\" /x", false}, {"/SILENT", false},   {"/S/V\"\"", false},  {"x/S", false},
        {"\"a /S\"", false},   {"\\\"/S", false},    {"", false},          {"/D=C:\\x\t/S", true},
    };
    for (const auto& r : rows) EXPECT_EQ(has_silent_switch(r.arguments), r.silent) << r.arguments;
}

TEST(Dialect, AnUnattendedRunLogsItsBoxesAndNeverWaitsForOneNoOneSees) {
    const struct {
        bool silent_switch, interactive, log_ready, shown;
    } rows[] = {
        {false, true, true, true},    {false, true, false, true},
        {true, true, true, false},    {true, true, false, true},  // no log: the box is the only record
        {false, false, true, false},  {false, false, false, false},
        {true, false, true, false},   {true, false, false, false},
    };
    for (const auto& r : rows)
        EXPECT_EQ(shows_message_box(r.silent_switch, r.interactive, r.log_ready), r.shown)
            << r.silent_switch << r.interactive << r.log_ready;
}

TEST(Dialect, OnlyKindsWithALogOptionAskForTheMsiLog) {
    const struct {
        const char* kind;
        const char* msilog;
        bool asks;
    } rows[] = {
        {"", "ON", true},     {"msi", "ON", true},    {"inno", "ON", true},  {"burn", "ON", true},
        {"nsis", "ON", false}, {"plain", "ON", false}, {"MSI", "ON", false}, {"", "on", false},
        {"msi", "", false},
    };
    for (const auto& r : rows) {
        SettingsMap s = container(r.kind, "", r.msilog);
        EXPECT_EQ(asks_for_msi_log(s), r.asks) << r.kind << " " << r.msilog;
    }
}

}  // namespace
}  // namespace trevan
