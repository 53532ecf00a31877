// The launch plan: which setup program for which machine, where it starts,
// and how, or whether it may start at all.
#include <gtest/gtest.h>

#include "app/launch.h"

namespace trevan {
namespace {

SettingsMap sample() {
    return {{"executable32", "%installer32%"},
            {"executable64", "%installer64%"},
            {"installer32", "Setup.exe"},
            {"installer64", "Setup_x64.exe"}};
}

TEST(LaunchPlan, PicksTheProgramForTheMachineFromTheWorkFolder) {
    const struct {
        bool on_64bit;
        const char* file;
    } rows[] = {
        {true, "C:\\Temp\\VORBELQ7\\Setup_x64.exe"},
        {false, "C:\\Temp\\VORBELQ7\\Setup.exe"},
    };
    for (const auto& row : rows) {
        SettingsMap settings = sample();
        launch_plan plan = plan_launch(settings, "C:\\Temp\\VORBELQ7\\", row.on_64bit);
        EXPECT_EQ(plan.file, row.file) << row.on_64bit;
        // In the held work folder, never in the temporary folder others write.
        EXPECT_EQ(plan.directory, "C:\\Temp\\VORBELQ7") << row.on_64bit;
        EXPECT_EQ(plan.method, start_method::create_process) << row.on_64bit;
    }
}

TEST(LaunchPlan, ReferencesAreExpandedAtTheMomentOfUse) {
    SettingsMap settings = sample();
    settings["executable64"] = "%chosen%";
    settings["chosen"] = "%installer32%";
    EXPECT_EQ(plan_launch(settings, "D:\\W\\", true).file, "D:\\W\\Setup.exe");
}

TEST(LaunchPlan, AWorkFolderAtADrivesRootStartsInTheWorkFolder) {
    SettingsMap settings = sample();
    launch_plan plan = plan_launch(settings, "T:\\VORBELQ7\\", true);
    EXPECT_EQ(plan.file, "T:\\VORBELQ7\\Setup_x64.exe");
    EXPECT_EQ(plan.directory, "T:\\VORBELQ7");
}

// No type is left to a file association, which the user's own classes
// decide for an elevated process too.
TEST(LaunchPlan, OnlyABareNameOfAProgramOrAPackageStarts) {
    const struct {
        const char* setting;  // nullptr: no setting at all
        start_method method;
    } rows[] = {
        {nullptr, start_method::refuse},
        {"", start_method::refuse},
        {".", start_method::refuse},
        {"..", start_method::refuse},
        {"..\\Setup.exe", start_method::refuse},
        {"sub\\Setup.exe", start_method::refuse},
        {"sub/Setup.exe", start_method::refuse},
        {"C:\\Windows\\notepad.exe", start_method::refuse},
        {"Setup.exe.", start_method::refuse},
        {"Setup.exe ", start_method::refuse},
        {"Setup.exe", start_method::create_process},
        {"SETUP.EXE", start_method::create_process},
        {"Setup.eXe", start_method::create_process},
        {"%installer64%", start_method::create_process},
        {".exe", start_method::create_process},
        {"Setup.msi", start_method::msiexec},
        {"SETUP.MSI", start_method::msiexec},
        {".msi", start_method::msiexec},
        {"..\\Setup.msi", start_method::refuse},
        {"Setup.msi.", start_method::refuse},
        {"Setup.msp", start_method::refuse},
        {"Setup.cmd", start_method::refuse},
        {"Setup.bat", start_method::refuse},
        {"Setup.txt", start_method::refuse},
        {"Setup.exe.lnk", start_method::refuse},
        {"Setupexe", start_method::refuse},
        {"Setup.ex", start_method::refuse},
        {"Setup.msi.exe", start_method::create_process},
        {"Setup.exe.msi", start_method::msiexec},
        // An unknown reference stays as written: a bare name, but no program.
        {"%unknown%", start_method::refuse},
    };
    for (const auto& row : rows) {
        SettingsMap settings = sample();
        if (row.setting) settings["executable64"] = row.setting;
        else settings.erase("executable64");
        const launch_plan plan = plan_launch(settings, "C:\\Temp\\VORBELQ7\\", true);
        EXPECT_EQ(plan.method, row.method) << (row.setting ? row.setting : "(none)");
    }
}

TEST(LaunchPlan, TheDirectCommandLineIsTheShells) {
    EXPECT_EQ(direct_command_line("C:\\T\\V1\\Setup.exe", "/S /V\"A=\\\"x y\\\"\""),
              "\"C:\\T\\V1\\Setup.exe\" /S /V\"A=\\\"x y\\\"\"");
    // No trailing blank without parameters.
    EXPECT_EQ(direct_command_line("C:\\T\\V1\\Setup.exe", ""), "\"C:\\T\\V1\\Setup.exe\"");
    EXPECT_EQ(direct_command_line("C:\\T\\V1\\Setup.exe", "  two"), "\"C:\\T\\V1\\Setup.exe\"   two");
}

TEST(LaunchPlan, APackageGoesToMsiexecWithItsParametersBehind) {
    EXPECT_EQ(msiexec_arguments("C:\\T\\V1\\Setup.msi", "/qn PROP=\"a b\""),
              "/i \"C:\\T\\V1\\Setup.msi\" /qn PROP=\"a b\"");
    EXPECT_EQ(msiexec_arguments("C:\\T\\V1\\Setup.msi", ""), "/i \"C:\\T\\V1\\Setup.msi\"");
}

}  // namespace
}  // namespace trevan
