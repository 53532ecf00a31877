// The launch plan: which setup program for which machine, and where it starts.
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
        EXPECT_EQ(plan.directory, "C:\\Temp") << row.on_64bit;
    }
}

TEST(LaunchPlan, ReferencesAreExpandedAtTheMomentOfUse) {
    SettingsMap settings = sample();
    settings["executable64"] = "%chosen%";
    settings["chosen"] = "%installer32%";
    EXPECT_EQ(plan_launch(settings, "D:\\W\\", true).file, "D:\\W\\Setup.exe");
}

}  // namespace
}  // namespace trevan
