#include "app/run.h"

#include <string>

#include "app/dialect.h"
#include "app/language.h"
#include "app/launch.h"
#include "app/machine.h"
#include "app/work_folder.h"
#include "container/extract.h"
#include "container/settings.h"
#include "support/core/failure.h"
#include "support/log/file.h"
#include "support/log/log.h"
#include "support/platform/config.h"
#include "support/platform/plain_file.h"
#include "support/platform/real_mutex.h"

namespace trevan {
namespace {

const char already_running_text[] =
    "Another installation is already running or in the process of starting up.\n"
    "Please wait until the other installation has completed before trying again.";
const char invalid_archive_text[] =
    "We are sorry, but your installation / update did not complete due to unexpected download "
    "errors.\r\nPlease download full version of the program";

// Every message of the run: one OK button, no owner window, no icon. Each
// goes to the log as a line with its caption and text. In an unattended run
// (no one at the screen) with a log none is shown, and the run goes on as
// if OK had been pressed; without a log the box is the only record, and is
// shown.
class boxes {
public:
    void set_log_ready(bool ready) { log_ready_ = ready; }
    void set_unattended(bool unattended) { unattended_ = unattended; }

    void show(const char* caption, const char* text) const {
        const bool shown = !(unattended_ && log_ready_);
        if (log_ready_) {
            try {
                // One line: the text's line ends become blanks.
                std::string line = text;
                for (char& c : line)
                    if (c == '\r' || c == '\n') c = ' ';
                vennic::log::writef("Message box%s: %s: %s", shown ? "" : " (not shown, unattended)", caption,
                                    line.c_str());
            } catch (...) {
                // The box itself still tells.
            }
        }
        if (shown) MessageBoxA(nullptr, text, caption, MB_OK);
    }
    void show(const vennic::failure& failure) const { show(failure.caption.c_str(), failure.text.c_str()); }

private:
    bool log_ready_ = false;
    bool unattended_ = false;
};

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

// Only a plain file, never what a link there leads to, and through the
// handle that was checked: the path lies in a folder the user can write.
void set_normal_attributes(const std::string& path) {
    const vennic::error_or<vennic::unique_handle> file =
        vennic::open_plain_file(path, FILE_WRITE_ATTRIBUTES, vennic::when_missing::fail);
    if (!file) return;
    FILE_BASIC_INFO info = {};  // times of zero stay as they are
    info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(file->get(), FileBasicInfo, &info, sizeof info);
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
    boxes box;
    try {
        const bool log_ready = set_up_log();
        box.set_log_ready(log_ready);
        // No one to press OK: asked for with /S, or no one can see the
        // process's windows (a service, SYSTEM in session 0).
        box.set_unattended(has_silent_switch(arguments) || !has_interactive_window_station());

        vennic::config::start(instance);

        // Held, never released, until the end of the run: a second start
        // during the whole run, setup program included, stops here.
        vennic::real_mutex instance_mutex("Vorbelquint.Installation");
        if (!instance_mutex.wait(0)) {
            box.show("Already Running", already_running_text);
            return 1;
        }

        std::string temp = temp_path();
        if (temp.empty()) {
            box.show(no_temp_path_failure());
            temp = fallback_temp_path;
        }
        work_folder_result made = make_work_folder(temp);
        if (made.failure) {
            box.show(*made.failure);
            return 1;
        }
        const work_folder& folder = made.folder;
        const std::string& work_path = folder.path();

        // Set before the extraction, so that no record of the container
        // replaces it.
        settings["source"] = work_path.substr(0, work_path.size() - 1);

        // Held until the setup program has started, or until the clean-up.
        extracted_files files;
        const extraction_result extraction = extract_payload(own_path(), work_path, settings, files);
        if (extraction.failure) box.show(*extraction.failure);

        if (!extraction.ok) {
            box.show("Invalid Archive!", invalid_archive_text);
            result = 1;
        } else {
            run_facts facts;
            facts.arguments = arguments;
            facts.work_folder = work_path;
            facts.system_folder = system_folder();
            facts.on_64bit_windows = runs_on_64bit_windows();
            facts.read_language = read_registry_language;
            facts.set_normal_attributes = set_normal_attributes;
            const setup_start start = plan_setup_start(settings, facts);
            const launch_result launched = start.failure ? launch_result{1, start.failure}
                                                         : launch_setup_program(start, log_ready, folder.handle(), files);
            if (launched.failure) box.show(*launched.failure);
            result = launched.failure ? 1 : static_cast<int>(launched.exit_code);
        }

        // Files still held would keep the clean-up from deleting them.
        files.release();
        made.folder.remove();
    } catch (const std::exception& e) {
        // Inverted on purpose, as the program always did: the exception's own
        // text is the caption and "Unhandled Exception" the text.
        box.show(e.what(), "Unhandled Exception");
        result = 1;
    } catch (...) {
        box.show("No context available", "Unhandled Exception");
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
