#include "app/run.h"

#include <algorithm>
#include <string>

#include "app/command_line.h"
#include "app/language.h"
#include "app/launch.h"
#include "app/machine.h"
#include "app/msi_log.h"
#include "app/progress_window.h"
#include "app/temp_folder.h"
#include "app/work_folder.h"
#include "container/expand.h"
#include "container/extract.h"
#include "container/settings.h"
#include "support/core/failure.h"
#include "support/log/file.h"
#include "support/log/log.h"
#include "support/platform/config.h"
#include "support/platform/real_mutex.h"
#include "support/platform/system_error_text.h"

namespace trevan {
namespace {

const char already_running_text[] =
    "Another installation is already running or in the process of starting up.\n"
    "Please wait until the other installation has completed before trying again.";
const char invalid_archive_text[] =
    "We are sorry, but your installation / update did not complete due to unexpected download "
    "errors.\r\nPlease download full version of the program";

// Every message of the run: one OK button, no owner window, no icon.
void show(const char* caption, const char* text) { MessageBoxA(nullptr, text, caption, MB_OK); }
void show(const vennic::failure& failure) { show(failure.caption.c_str(), failure.text.c_str()); }

// A log that cannot be set up costs only the log lines; the run goes on.
bool set_up_log(const temp_folder& temp) {
    try {
        // The log facility owns the sink from here on, also if it throws.
        vennic::log::add_listener(new vennic::log::file(temp.handle.get(), temp.text + "Trevan"));
        return true;
    } catch (...) {
        return false;
    }
}

// Whether the run may show its progress window: not when "/S" (in any
// letter case) stands among the arguments as a whole argument, as a silent
// run asks.
bool may_show_progress(const std::string& arguments) {
    std::string::size_type at = 0;
    for (;;) {
        at = arguments.find_first_not_of(" \t", at);
        if (at == std::string::npos) return true;
        const std::string::size_type end = std::min(arguments.find_first_of(" \t", at), arguments.size());
        if (end - at == 2 && arguments[at] == '/' && (arguments[at + 1] == 'S' || arguments[at + 1] == 's'))
            return false;
        at = end;
    }
}

// The held MSI log for a container that asks for one; its path stays empty
// (the option is left out) when it cannot be held, and the log says why.
msi_log hold_asked_msi_log(SettingsMap& settings, const temp_folder& temp, bool log_ready) {
    if (settings["msilog"] != "ON") return msi_log();
    vennic::error_or<msi_log> held = hold_msi_log(temp);
    if (held) return std::move(*held);
    if (log_ready)
        vennic::log::writef("MSI log option left out: KELMO_msi.log.txt cannot be held: %s",
                            vennic::system_error_text(held.error()).c_str());
    return msi_log();
}

// The setup program's parameter text from the command line and the settings;
// each step that fails is skipped and the text goes on without it.
std::string split_arguments(const std::string& arguments, SettingsMap& settings) {
    try {
        return split_command_line(arguments, settings);
    } catch (...) {
        settings["commandline"] = arguments;
        return std::string();
    }
}

void assemble_parameters(SettingsMap& settings, std::string property_text, const std::string& msi_log_path) {
    try {
        filter_partner_identity(settings, property_text);
    } catch (...) {
    }
    try {
        merge_parameters(settings, property_text);
    } catch (...) {
    }
    try {
        add_msi_log_option(settings, msi_log_path);
    } catch (...) {
    }
}

}  // namespace

int run(HINSTANCE instance, const char* command_line, const own_file& own, const run_seams& seams) {
    int result = 1;
    const std::string arguments = command_line ? command_line : "";
    SettingsMap settings;
    try {
        // Opened once and held to the end: the log, the MSI log and the work
        // folder are made in it by their names, never along its path again.
        vennic::error_or<temp_folder> temp = open_user_temp_folder();
        const bool log_ready = temp && set_up_log(*temp);

        vennic::config::start(instance);

        // Held, never released, until the end of the run: a second start
        // during the whole run, setup program included, stops here.
        vennic::real_mutex instance_mutex("Vorbelquint.Installation");
        if (!instance_mutex.wait(0)) {
            show("Already Running", already_running_text);
            return 1;
        }

        // None at all: the user is told, and the run goes on in a fixed
        // folder. What is there but cannot be used ends the run below.
        if (!temp && temp.error() == ERROR_PATH_NOT_FOUND) {
            show(no_temp_path_failure());
            temp = open_fallback_temp_folder();
        }
        work_folder_result made =
            temp ? make_work_folder(*temp) : work_folder_result{{}, work_folder_failure(temp.error())};
        if (made.failure) {
            show(*made.failure);
            return 1;
        }
        const work_folder& folder = made.folder;
        const std::string& work_path = folder.path();

        settings["source"] = work_path.substr(0, work_path.size() - 1);
        const std::string property_text = split_arguments(arguments, settings);

        // Held until the setup program has started, or until the clean-up.
        extracted_files files;
        const vennic::error_or<HANDLE> archive =
            own.file ? vennic::error_or<HANDLE>(own.file->get()) : vennic::system_error{own.file.error()};
        const extraction_result extraction = extract_with_progress(
            instance, vennic::config::current().product_name, may_show_progress(arguments),
            [&](extraction_progress& progress) {
                return extract_payload(own.path, archive, work_path, folder.handle(), settings, files, &progress,
                                       seams.wrap_archive);
            });
        if (extraction.failure) show(*extraction.failure);

        // Held until the setup program has ended.
        const msi_log log = extraction.ok ? hold_asked_msi_log(settings, *temp, log_ready) : msi_log();

        // The parameters are assembled even for a broken archive, from
        // whatever the settings hold; after a cancel nothing needs them.
        if (!extraction.cancelled) assemble_parameters(settings, property_text, log.path);

        if (extraction.cancelled) {
            vennic::log::writef("%s", "The user cancelled the setup.");
            result = ERROR_INSTALL_USEREXIT;
        } else if (!extraction.ok) {
            show("Invalid Archive!", invalid_archive_text);
            result = 1;
        } else {
            std::string parameter_text = expand_references(settings["parameters"], settings);
            parameter_text = add_language_option(parameter_text);
            const launch_plan plan = plan_launch(settings, work_path, runs_on_64bit_windows());
            const launch_result launched = launch_setup_program(plan, parameter_text, log_ready, folder, files);
            if (launched.failure) show(*launched.failure);
            result = launched.failure ? 1 : static_cast<int>(launched.exit_code);
        }

        // Files still held would keep the clean-up from deleting them.
        files.release();
        made.folder.remove();
    } catch (const std::exception& e) {
        // Inverted on purpose, as the program always did: the exception's own
        // text is the caption and "Unhandled Exception" the text.
        show(e.what(), "Unhandled Exception");
        result = 1;
    } catch (...) {
        show("No context available", "Unhandled Exception");
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
