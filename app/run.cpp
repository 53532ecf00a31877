#include "app/run.h"

#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/language.h"
#include "app/launch.h"
#include "app/settings_map.h"
#include "app/work_folder.h"
#include "container/expand.h"
#include "container/extract.h"
#include "support/core/config.h"
#include "support/log/file.h"
#include "support/log/log.h"
#include "support/platform/real_mutex.h"

namespace trevan {
namespace {

const char already_running_text[] =
    "Another installation is already running or in the process of starting up.\n"
    "Please wait until the other installation has completed before trying again.";
const char invalid_archive_text[] =
    "We are sorry, but your installation / update did not complete due to unexpected download "
    "errors.\r\nPlease download full version of the program";

// A log that cannot be set up costs only the log lines; the run goes on.
bool set_up_log() {
    try {
        // The log facility owns the sink from here on, also if it throws.
        vennic::log::add_listener(new vennic::log::file(temp_path() + "Trevan"));
        return true;
    } catch (...) {
        return false;
    }
}

void set_normal_attributes(const std::string& path) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

std::string own_path() {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    // A cut path (length == MAX_PATH) fails to open later, and is reported there.
    return std::string(path, length < MAX_PATH ? length : MAX_PATH);
}

}  // namespace

int run(HINSTANCE instance, const char* command_line) {
    int result = 1;
    const std::string arguments = command_line ? command_line : "";
    SettingsMap settings;
    try {
        const bool log_ready = set_up_log();

        vennic::config::start(instance);

        // Held, never released, until the end of the run: a second start
        // during the whole run, setup program included, stops here.
        vennic::real_mutex instance_mutex("Vorbelquint.Installation");
        if (!instance_mutex.wait(0)) {
            MessageBoxA(nullptr, already_running_text, "Already Running", MB_OK);
            return 1;
        }

        const std::optional<std::string> made = make_work_folder();
        if (!made) return 1;
        const std::string work_folder = *made;

        settings["source"] = work_folder.substr(0, work_folder.size() - 1);

        std::string property_text;
        try {
            property_text = split_command_line(arguments, settings);
        } catch (...) {
            settings["commandline"] = arguments;
            property_text.clear();
        }

        const bool archive_ok = extract_payload(own_path(), work_folder, settings);

        // The parameters are assembled even for a broken archive, from
        // whatever the settings hold.
        try {
            filter_partner_identity(settings, property_text);
        } catch (...) {
        }
        try {
            merge_parameters(settings, property_text);
        } catch (...) {
        }
        try {
            add_msi_log_option(settings, work_folder, set_normal_attributes);
        } catch (...) {
        }

        if (!archive_ok) {
            MessageBoxA(nullptr, invalid_archive_text, "Invalid Archive!", MB_OK);
            result = 1;
        } else {
            std::string parameter_text = expand_references(settings["parameters"], settings);
            parameter_text = add_language_option(parameter_text);
            result = launch_setup_program(settings, work_folder, parameter_text, log_ready);
        }

        SetCurrentDirectoryA(parent_folder(work_folder).c_str());
        remove_tree(work_folder);
    } catch (const std::exception& e) {
        MessageBoxA(nullptr, "Unhandled Exception", e.what(), MB_OK);
        result = 1;
    } catch (...) {
        MessageBoxA(nullptr, "Unhandled Exception", "No context available", MB_OK);
        result = 1;
    }
    try {
        vennic::log::shutdown();
    } catch (...) {
        // Nothing is left to report to; the exit code stands.
    }
    return result;
}

}  // namespace trevan
