// The command line of each kind of setup program, and what starts it.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "app/dialect.h"
#include "container/expand.h"
#include "support/core/text.h"

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
        {"msi", "/norestart", "ON", "/S /V\"PROP=1 NAME=\\\"a b\\\"\" /passive",
         msi + " /norestart /qn  /passive PROP=1 NAME=\"a b\" /l*v \"C:\\T\\KELMO_msi.log.txt\""},
        {"msi", "", "", "/s /vUSER_PARTNER_IDENTITY=7", msi + " /qn"},
        {"msi", "", "on", "", msi},
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

// The texts the run sets (the work folder's path with the user's TEMP in
// it, the MSI log path below TEMP, the arguments, the /V properties) reach
// the setup program as they are, in every kind: what a run with "%name%"
// in them starts is what it starts with a plain word there instead.
TEST(Dialect, NothingTheUserControlsIsExpanded) {
    const char* const sequences[] = {"%parameters%", "%source%", "%installer64%", "%commandline%", "%%",
                                     "%unknown%", "%installer64", "50%", "%kind%%msilog%"};
    const std::string placeholder = "QQQ";
    for (const char* kind : {"", "msi", "nsis", "inno", "burn", "plain"}) {
        for (const char* sequence : sequences) {
            auto start_with = [&](const std::string& text) {
                // TEMP as HKCU\Environment may set it, blanks and all.
                const std::string temp = "C:\\T " + text + " -INJECTED x\\";
                SettingsMap settings =
                    container(kind, std::string(*kind ? "\"/FROM=%source%\"" : "/V\"X=1\" \"/FROM=%source%\""), "ON",
                              std::string(kind) == "msi" ? "Setup.msi" : "Setup_x64.exe");
                settings["source"] = temp + "VORBELQ5";
                run_facts f = facts("/S /A=" + text + " /V\"P=" + text + "\"");
                f.work_folder = temp + "VORBELQ5\\";
                f.msi_log = temp + "KELMO_msi.log.txt";
                return plan_setup_start(settings, f);
            };
            const setup_start plain = start_with(placeholder);
            const setup_start marked = start_with(sequence);
            ASSERT_FALSE(plain.failure) << kind << " " << sequence;
            ASSERT_FALSE(marked.failure) << kind << " " << sequence << ": " << marked.failure->text;
            EXPECT_EQ(marked.command_line, vennic::replace_all_copy(plain.command_line, placeholder, sequence))
                << kind << " " << sequence;
            EXPECT_NE(marked.command_line.find("C:\\T " + std::string(sequence) + " -INJECTED x\\VORBELQ5\\"),
                      std::string::npos)
                << marked.command_line;
        }
    }
}

// In the dialects whose options the bootstrapper writes, an option of the
// caller's that would load other code into the elevated installer or
// write its log elsewhere is refused, in each form the installer reads.
TEST(Dialect, TheCallersInstallerOptionsAreRefused) {
    const struct {
        setup_kind kind;
        const char* argument;
        const char* refused;  // nullptr: passed on
    } rows[] = {
        {setup_kind::msi, "/p", "/p"},              {setup_kind::msi, "-P", "/p"},
        {setup_kind::msi, "/update", "/p"},         {setup_kind::msi, "/Update", "/p"},
        {setup_kind::msi, "/package", "/i"},        {setup_kind::msi, "/packageC:\\x.msi", "/i"},
        {setup_kind::msi, "/i", "/i"},              {setup_kind::msi, "-IC:\\x.msi", "/i"},
        {setup_kind::msi, "/a", "/a"},              {setup_kind::msi, "/j", "/j"},
        {setup_kind::msi, "/jm", "/j"},             {setup_kind::msi, "-JU", "/j"},
        {setup_kind::msi, "/x", "/x"},              {setup_kind::msi, "/x{GUID}", "/x"},
        {setup_kind::msi, "/uninstall", "/x"},      {setup_kind::msi, "/f", "/f"},
        {setup_kind::msi, "/fa", "/f"},             {setup_kind::msi, "-FOMUS", "/f"},
        {setup_kind::msi, "/y", "/y"},              {setup_kind::msi, "/z", "/z"},
        {setup_kind::msi, "/t", "/t"},              {setup_kind::msi, "/v", "/v"},
        {setup_kind::msi, "/@", "/@"},              {setup_kind::msi, "/Embedding", "/embedding"},
        {setup_kind::msi, "/regserver", "/regserver"}, {setup_kind::msi, "/unreg", "/regserver"},
        {setup_kind::msi, "/l*v", "/l"},            {setup_kind::msi, "/L", "/l"},
        {setup_kind::msi, "-l+!", "/l"},            {setup_kind::msi, "/log", "/l"},
        {setup_kind::msi, "u", "u"},                {setup_kind::msi, "M", "m"},
        {setup_kind::msi, "PATCH=C:\\evil.msp", "PATCH"},
        {setup_kind::msi, "patch=x", "PATCH"},      {setup_kind::msi, "Transforms=x.mst", "TRANSFORMS"},
        {setup_kind::msi, "TRANSFORMS =x", "TRANSFORMS"}, {setup_kind::msi, "MSIPATCHREMOVE=x", "MSIPATCHREMOVE"},
        // What a caller may well pass.
        {setup_kind::msi, "/qn", nullptr},          {setup_kind::msi, "/passive", nullptr},
        {setup_kind::msi, "/norestart", nullptr},   {setup_kind::msi, "/forcerestart", nullptr},
        {setup_kind::msi, "/promptrestart", nullptr}, {setup_kind::msi, "INSTALLDIR=C:\\x", nullptr},
        {setup_kind::msi, "PATCHLEVEL=2", nullptr}, {setup_kind::msi, "A=PATCH=x", nullptr},
        {setup_kind::msi, "C:\\x.msi", nullptr},     {setup_kind::msi, "up", nullptr},
        {setup_kind::inno, "/LOG", "/LOG"},         {setup_kind::inno, "/log=C:\\x.txt", "/LOG"},
        {setup_kind::inno, "/Log=", "/LOG"},        {setup_kind::inno, "/LOADINF=x.inf", "/LOADINF"},
        {setup_kind::inno, "/saveinf=x.inf", "/SAVEINF"}, {setup_kind::inno, "/SL5=1,2,3,x", "/SL5"},
        {setup_kind::inno, "/SPAWNWND=5", "/SPAWNWND"}, {setup_kind::inno, "/notifywnd=5", "/NOTIFYWND"},
        {setup_kind::inno, "/DebugSpawnServer", "/DEBUGSPAWNSERVER"},
        {setup_kind::inno, "-LOG=x", nullptr},      {setup_kind::inno, "/LOGX", nullptr},
        {setup_kind::inno, "/DIR=C:\\x", nullptr},  {setup_kind::inno, "/VERYSILENT", nullptr},
        {setup_kind::burn, "/log", "/log"},         {setup_kind::burn, "-log", "/log"},
        {setup_kind::burn, "-L", "/log"},           {setup_kind::burn, "/l", "/log"},
        {setup_kind::burn, "/layout", "/layout"},   {setup_kind::burn, "-LAYOUT", "/layout"},
        {setup_kind::burn, "-burn.elevated", "/burn."}, {setup_kind::burn, "/burn.log.append", "/burn."},
        {setup_kind::burn, "/quiet", nullptr},      {setup_kind::burn, "/logfile", nullptr},
        {setup_kind::burn, "X=1", nullptr},
        {setup_kind::nsis, "/LOG=x", nullptr},      {setup_kind::plain, "/p", nullptr},
        {setup_kind::none, "/l*v", nullptr},
    };
    for (const auto& r : rows) {
        const std::optional<std::string> refused = refused_option(r.kind, r.argument);
        EXPECT_EQ(refused.value_or("(passed)"), r.refused ? r.refused : "(passed)")
            << kind_name(r.kind) << " " << r.argument;
        if (r.refused) {
            EXPECT_TRUE(is_refusable_option(r.refused)) << r.refused;
        }
    }
    EXPECT_FALSE(is_refusable_option("/qn"));
    EXPECT_FALSE(is_refusable_option("INSTALLDIR"));
}

// The refusal ends the run before anything starts, with a box that names
// the argument; however the caller quotes it, through /V too; the
// vendor's own options and those it allows pass.
TEST(Dialect, ARefusedArgumentStartsNothing) {
    const struct {
        const char* kind;
        const char* parameters;
        const char* allowed;
        std::string arguments;
        const char* refused;  // nullptr: it starts
    } rows[] = {
        {"msi", "", "", "/S /p C:\\Users\\Public\\evil.msp", "/p"},
        {"msi", "", "", "/qn \"/l*v\" C:\\x.sys", "/l*v"},
        {"msi", "", "", "/V\"TRANSFORMS=C:\\Users\\Public\\evil.mst\"", "TRANSFORMS=C:\\Users\\Public\\evil.mst"},
        {"msi", "", "", "/V\"A=1 patch=x.msp\"", "patch=x.msp"},
        {"msi", "", "", "/V\"A=1 /l*v x.log\"", "/l*v"},
        // An odd quotation mark of the caller's cannot turn the properties
        // that follow into options.
        {"msi", "", "", "X=\" /V\"A=\\\"1 /p evil.msp\\\"\"", "/p"},
        // One argument to the C runtime, but msiexec knows no backslash
        // escape: it reads a /p.
        {"msi", "", "", "/S \"x\\\" /p C:\\evil.msp\"", "/p"},
        // Its quotation mark left open runs on into the run's own log option.
        {"inno", "", "", "\"x\\\" /LOG=C:\\x\"", "/LOG=C:\\x /LOG="},
        {"msi", "", "", "/S INSTALLDIR=\"C:\\Program Files\\Q\"", nullptr},
        // The vendor's own options are the vendor's.
        {"msi", "/l*v C:\\vendor.log TRANSFORMS=1033.mst", "", "/S", nullptr},
        {"msi", "", "/l PATCH", "/S /l*v x.log PATCH=x.msp", nullptr},
        {"msi", "", "/l", "/S /l*v x.log PATCH=x.msp", "PATCH=x.msp"},
        {"inno", "", "", "/S /LOG=C:\\Windows\\x.sys", "/LOG=C:\\Windows\\x.sys"},
        {"inno", "", "", "\"/LOADINF=C:\\a b.inf\"", "/LOADINF=C:\\a b.inf"},
        {"inno", "", "/loadinf, /saveinf", "/LOADINF=x.inf /SAVEINF=y.inf", nullptr},
        {"inno", "", "", "/S \"/DIR=C:\\Inno Custom Dir\"", nullptr},
        {"burn", "", "", "/S -l C:\\x.log", "-l"},
        {"burn", "", "", "/layout C:\\x", "/layout"},
        {"nsis", "", "", "/S /LOG=x /p", nullptr},
        {"plain", "", "", "/p x /LOG=y -l z", nullptr},
        {"", "", "", "/S /p x /l*v y", nullptr},
    };
    // The work folder's path is the user's TEMP: a vendor's unquoted
    // %source% cannot make msiexec read an option out of it.
    SettingsMap unquoted = container("msi", "/FROM=%source%", "", "Setup.msi");
    unquoted["source"] = "C:\\T -i C:\\Users\\Public\\evil.msi x\\VORBELQ5";
    EXPECT_EQ(plan_setup_start(unquoted, facts("/S")).refused, "-i");

    for (const auto& r : rows) {
        SettingsMap settings = container(r.kind, r.parameters, "ON",
                                         std::string(r.kind) == "msi" ? "Setup.msi" : "Setup_x64.exe");
        if (*r.allowed) settings["allowed_options"] = r.allowed;
        const setup_start start = plan_setup_start(settings, facts(r.arguments));
        if (!r.refused) {
            EXPECT_FALSE(start.failure) << r.kind << " | " << r.arguments << " | " << start.refused;
            continue;
        }
        ASSERT_TRUE(start.failure) << r.kind << " | " << r.arguments << " | " << start.command_line;
        EXPECT_EQ(start.refused, r.refused) << r.kind << " | " << r.arguments;
        EXPECT_EQ(start.failure->caption, "Option not allowed");
        EXPECT_EQ(start.failure->text, "\"" + std::string(r.refused) +
                                           "\" is not passed on: the setup program's options are set by the vendor.");
        // The same in other languages: the refused argument fills the text.
        EXPECT_EQ(start.failure->caption_text, vennic::ui_text::option_refused_caption);
        EXPECT_EQ(start.failure->text_text, vennic::ui_text::option_refused_text);
        EXPECT_EQ(start.failure->values[0], r.refused);
        EXPECT_TRUE(start.command_line.empty()) << "nothing starts";
        EXPECT_FALSE(start.over_limit);
    }
}

// msiexec reads a property's value to the first blank outside quotation
// marks, and two quotation marks inside them as one.
TEST(Dialect, MsiPropertiesKeepTheirValues) {
    const std::string msi = "\"C:\\Windows\\system32\\msiexec.exe\" /i \"C:\\T\\VORBELQ5\\Setup.msi\" ";
    const struct {
        std::string property_text;  // inside /V"..."
        std::string properties;
    } rows[] = {
        {"GREETING=hello", "GREETING=hello"},
        {"GREETING=two words", "GREETING=\"two words\""},
        {"GREETING=two  words B=1", "GREETING=\"two  words\" B=1"},
        {"A=1 B=2", "A=1 B=2"},
        {"NAME=\\\"a b\\\" X=1", "NAME=\"a b\" X=1"},
        {"SAY=\\\"he said \\\"\\\"hi\\\"\\\"\\\"", "SAY=\"he said \"\"hi\"\"\""},
        {"Q=a\\\"b", "Q=\"a\"\"b\""},
        {"EMPTY= B=1", "EMPTY=\"\" B=1"},
        {"DIR=C:\\Program Files\\Q /qn", "DIR=\"C:\\Program Files\\Q\" /qn"},
        {"  X=1   Y=2  ", "X=1 Y=2"},
        {"REBOOT=ReallySuppress", "REBOOT=ReallySuppress"},
    };
    for (const auto& r : rows) {
        SettingsMap settings = container("msi", "", "", "Setup.msi");
        const setup_start start = plan_setup_start(settings, facts("/V\"" + r.property_text + "\""));
        ASSERT_FALSE(start.failure) << r.property_text;
        EXPECT_EQ(start.command_line, msi + r.properties) << r.property_text;
    }
}

// Windows takes no command line of more than 32,767 characters with its
// terminating null: a run whose command line or expansion would pass it
// starts nothing and shows the launch failure.
TEST(Dialect, NoCommandLinePassesTheLimitOfWindows) {
    const std::string exe = "\"C:\\T\\VORBELQ5\\Setup_x64.exe\" ";
    const std::size_t room = max_command_line_length - 1 - exe.size();
    const struct {
        std::string parameters, arguments;
        bool starts;
    } rows[] = {
        {std::string(room, 'p'), "", true},
        {std::string(room + 1, 'p'), "", false},
        {std::string(room - 3, 'p'), "/S", true},  // and a blank between
        {std::string(room - 3, 'p'), "/S /Q", false},
        {"%big%%big%", "", false},
        {"%big%", "", true},
    };
    for (const auto& r : rows) {
        SettingsMap settings = container("plain", r.parameters, "");
        settings["big"] = std::string(room / 2 + 10, 'b');
        const setup_start start = plan_setup_start(settings, facts(r.arguments));
        EXPECT_EQ(!start.failure, r.starts) << r.parameters.substr(0, 12) << " " << r.arguments;
        if (r.starts) {
            EXPECT_LE(start.command_line.size(), max_command_line_length - 1);
            continue;
        }
        ASSERT_TRUE(start.failure);
        EXPECT_TRUE(start.over_limit);
        EXPECT_EQ(start.failure->caption, "ShellExecuteEx failed");
        EXPECT_EQ(start.failure->text, "Unable to spawn process");
    }
    // An executable setting that expands past the limit names no program.
    SettingsMap settings = container("plain", "", "");
    settings["executable64"] = "%big%%big%";
    settings["big"] = std::string(20000, 'b');
    EXPECT_TRUE(plan_setup_start(settings, facts("")).over_limit);
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
