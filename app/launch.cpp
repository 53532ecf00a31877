#include "app/launch.h"

#include "app/work_folder.h"
#include "container/expand.h"
#include "container/file_name.h"

namespace trevan {
namespace {

bool ends_with_exe(const std::string& name) {
    if (name.size() < 4) return false;
    const std::string end = name.substr(name.size() - 4);
    return end[0] == '.' && (end[1] == 'e' || end[1] == 'E') && (end[2] == 'x' || end[2] == 'X') &&
           (end[3] == 'e' || end[3] == 'E');
}

}  // namespace

launch_plan plan_launch(SettingsMap& settings, const std::string& work_folder, bool on_64bit_windows) {
    const char* setting = on_64bit_windows ? "executable64" : "executable32";
    launch_plan plan;
    plan.name = expand_references(settings[setting], settings);
    plan.file = work_folder + plan.name;
    plan.directory = parent_folder(work_folder);
    if (!is_bare_file_name(plan.name))
        plan.method = start_method::refuse;
    else if (ends_with_exe(plan.name))
        plan.method = start_method::create_process;
    else
        plan.method = start_method::shell;
    return plan;
}

std::string direct_command_line(const std::string& file, const std::string& parameter_text) {
    return "\"" + file + "\" " + parameter_text;
}

}  // namespace trevan
