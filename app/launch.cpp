#include "app/launch.h"

#include "container/expand.h"
#include "container/file_name.h"

namespace trevan {
namespace {

// Whether name ends in the extension (a dot and three lower-case letters)
// in any letter case.
bool ends_with(const std::string& name, const char* extension) {
    if (name.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        const char c = name[name.size() - 4 + i];
        if (c != extension[i] && c != extension[i] - 'a' + 'A') return false;
    }
    return true;
}

}  // namespace

launch_plan plan_launch(SettingsMap& settings, const std::string& work_folder, bool on_64bit_windows) {
    const char* setting = on_64bit_windows ? "executable64" : "executable32";
    launch_plan plan;
    const std::optional<std::string> name = expand_references(settings[setting], settings);
    plan.over_limit = !name;
    plan.name = name.value_or("");
    plan.file = work_folder + plan.name;
    // The held work folder, which only this run may write: in the user's
    // temporary folder, a tool the setup program starts by a bare name
    // could be anyone's.
    plan.directory = work_folder.size() > 1 && work_folder.back() == '\\'
                         ? work_folder.substr(0, work_folder.size() - 1)
                         : work_folder;
    if (is_bare_file_name(plan.name) && ends_with(plan.name, ".exe"))
        plan.method = start_method::create_process;
    else if (is_bare_file_name(plan.name) && ends_with(plan.name, ".msi"))
        plan.method = start_method::msiexec;
    else
        plan.method = start_method::refuse;
    return plan;
}

std::string direct_command_line(const std::string& file, const std::string& parameter_text) {
    const std::string quoted = "\"" + file + "\"";
    return parameter_text.empty() ? quoted : quoted + " " + parameter_text;
}

std::string msiexec_arguments(const std::string& file, const std::string& parameter_text) {
    return "/i " + direct_command_line(file, parameter_text);
}

}  // namespace trevan
