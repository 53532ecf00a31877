#include "app/launch.h"

#include "app/work_folder.h"
#include "container/expand.h"

namespace trevan {

launch_plan plan_launch(SettingsMap& settings, const std::string& work_folder, bool on_64bit_windows) {
    const char* setting = on_64bit_windows ? "executable64" : "executable32";
    launch_plan plan;
    plan.file = work_folder + expand_references(settings[setting], settings);
    plan.directory = parent_folder(work_folder);
    return plan;
}

}  // namespace trevan
