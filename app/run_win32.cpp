#include "app/run.h"

#include <optional>
#include <string>

#include "app/arguments.h"
#include "app/boxes.h"
#include "app/dialect.h"
#include "app/language_win32.h"
#include "app/launch_win32.h"
#include "app/machine.h"
#include "app/msi_log.h"
#include "app/progress_window.h"
#include "app/progress.h"
#include "app/temp_folder.h"
#include "app/ui_language.h"
#include "app/ui_texts_win32.h"
#include "app/work_folder.h"
#include "container/extract_win32.h"
#include "container/settings.h"
#include "support/core/failure.h"
#include "support/log/file.h"
#include "support/log/log.h"
#include "support/platform/config.h"
#include "support/platform/real_mutex.h"
#include "support/platform/system_error_text.h"
#include "support/platform/unicode.h"

namespace trevan {
namespace {

const char already_running_text[] =
    "Another installation is already running or in the process of starting up.\n"
    "Please wait until the other installation has completed before trying again.";
const char invalid_archive_text[] =
    "We are sorry, but your installation / update did not complete due to unexpected download "
    "errors.\r\nPlease download full version of the program";

vennic::failure told(const char* caption, const char* text, vennic::ui_text caption_text, vennic::ui_text text_text) {
    return {caption, text, 0, caption_text, text_text, {}};
}

// The language of the run's own texts, decided once before anything is
// shown; the log names it.
ui_texts choose_texts(HINSTANCE instance, const std::string& arguments, const language_reader& read,
                      bool log_ready) {
    const std::vector<std::uint16_t> carried = carried_ui_languages(instance);
    const ui_language_choice choice =
        choose_ui_language(installer_language_of(arguments, read), GetUserDefaultUILanguage(), carried);
    if (log_ready) vennic::log::writef("Texts: %u (%s)", choice.lcid, reason_text(choice.reason));
    // An English language not carried holds no block: the program's own texts.
    return ui_texts(instance, choice.lcid);
}

// The progress window's texts in the run's language.
progress_texts progress_texts_of(const ui_texts& texts, const std::wstring& product_name) {
    progress_texts shown{product_name, texts.text(vennic::ui_text::progress_text, &product_name, 1),
                         texts.text(vennic::ui_text::progress_cancel)};
    if (shown.line.empty()) shown.line = preparing_text(product_name);
    if (shown.cancel.empty()) shown.cancel = L"Cancel";
    return shown;
}

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

// The held MSI log for a container that asks for one; its path stays empty
// (the option is left out) when it cannot be held, and the log says why.
msi_log hold_asked_msi_log(SettingsMap& settings, const temp_folder& temp, bool log_ready) {
    // Kinds without a log option never receive it: no empty log is left.
    if (!asks_for_msi_log(settings)) return msi_log();
    vennic::error_or<msi_log> held = hold_msi_log(temp, kind_of_setting(settings["kind"]).value_or(setup_kind::none));
    if (held) return std::move(*held);
    if (log_ready)
        vennic::log::writef("MSI log option left out: KELMO_msi.log.txt cannot be held: %s",
                            vennic::system_error_text(held.error()).c_str());
    return msi_log();
}

}  // namespace

int run(HINSTANCE instance, const wchar_t* command_line, const own_file& own, const run_seams& seams) {
    int result = 1;
    SettingsMap settings;
    boxes box;
    // Outlives the boxes of the handlers below.
    ui_texts texts;
    try {
        // The settings and the command lines are ANSI text: arguments that
        // the code page holds only with look-alikes are never passed on.
        const std::wstring wide_arguments = program_arguments(command_line ? command_line : L"");
        const std::optional<std::string> exact_arguments =
            vennic::unicode::to_exact_narrow(wide_arguments, CP_ACP);
        const std::string arguments = exact_arguments.value_or(std::string());
        // Opened once and held to the end: the log, the MSI log and the work
        // folder are made in it by their names, never along its path again.
        vennic::error_or<temp_folder> temp = open_user_temp_folder();
        const bool log_ready = temp && set_up_log(*temp);
        box.set_log_ready(log_ready);
        // No one to press OK: asked for with /S, or no one can see the
        // process's windows (a service, SYSTEM in session 0). Nor anyone to
        // watch a progress window.
        const bool silent_switch =
            has_silent_switch(exact_arguments ? arguments : ascii_outline(wide_arguments));
        const bool interactive = has_interactive_window_station();
        box.set_unattended(silent_switch, interactive);

        // The names the language is read by; then every box can be told in it.
        vennic::config::start(instance);
        texts = choose_texts(instance, exact_arguments ? arguments : ascii_outline(wide_arguments),
                             read_registry_language, log_ready);
        box.set_texts(&texts);
        if (!exact_arguments) {
            if (log_ready)
                vennic::log::writef("%s", "The arguments hold characters that the ANSI code page cannot hold "
                                          "exactly; nothing is started.");
            box.show(unconvertible_arguments_failure());
            return 1;
        }

        // Held, never released, until the end of the run: a second start
        // during the whole run, setup program included, stops here.
        vennic::real_mutex instance_mutex("Vorbelquint.Installation");
        if (!instance_mutex.wait(0)) {
            box.show(told("Already Running", already_running_text, vennic::ui_text::already_running_caption,
                          vennic::ui_text::already_running_text));
            return 1;
        }

        // None at all: the user is told, and the run goes on in a fixed
        // folder. What is there but cannot be used ends the run below.
        if (!temp && temp.error() == ERROR_PATH_NOT_FOUND) {
            box.show(no_temp_path_failure());
            temp = open_fallback_temp_folder();
        }
        work_folder_result made =
            temp ? make_work_folder(*temp) : work_folder_result{{}, work_folder_failure(temp.error())};
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
        const vennic::error_or<HANDLE> archive =
            own.file ? vennic::error_or<HANDLE>(own.file->get()) : vennic::system_error{own.file.error()};
        auto extract = [&](extraction_progress* progress) {
            return extract_payload(own.path, archive, work_path, folder.handle(), settings, files, progress,
                                   seams.wrap_archive);
        };
        const extraction_result extraction =
            seams.report_progress
                ? extract_with_progress(instance, progress_texts_of(texts, vennic::config::current().product_name),
                                        !silent_switch && interactive,
                                        [&](extraction_progress& progress) { return extract(&progress); })
                : extract(nullptr);
        if (extraction.failure) box.show(*extraction.failure);

        // Held until the setup program has ended.
        const bool extracted = extraction.end == extraction_end::complete;
        const msi_log log = extracted ? hold_asked_msi_log(settings, *temp, log_ready) : msi_log();

        if (extraction.end == extraction_end::cancelled) {
            if (log_ready) vennic::log::writef("%s", "The user cancelled the setup.");
            result = ERROR_INSTALL_USEREXIT;
        } else if (!extracted) {
            box.show(told("Invalid Archive!", invalid_archive_text, vennic::ui_text::invalid_archive_caption,
                          vennic::ui_text::invalid_archive_text));
            result = 1;
        } else {
            run_facts facts;
            facts.arguments = arguments;
            facts.work_folder = work_path;
            facts.on_64bit_windows = runs_on_64bit_windows();
            facts.read_language = read_registry_language;
            facts.msi_log = log.path;
            // The launch finds msiexec.exe itself: the system folder, only
            // for the start's command line, is left out.
            const setup_start start = plan_setup_start(settings, facts);
            const launch_result launched = start.failure ? launch_result{1, start.failure}
                                                         : launch_setup_program(start.plan, start.parameters,
                                                                                log_ready, folder, files);
            if (launched.failure) box.show(*launched.failure);
            result = launched.failure ? 1 : static_cast<int>(launched.exit_code);
        }

        // Files still held would keep the clean-up from deleting them.
        files.release();
        made.folder.remove();
    } catch (const std::exception& e) {
        // Inverted on purpose, as the program always did: the exception's own
        // text is the caption and "Unhandled Exception" the text.
        box.show({e.what(), "Unhandled Exception", 0, {}, vennic::ui_text::unhandled_text, {}});
        result = 1;
    } catch (...) {
        box.show(told("No context available", "Unhandled Exception", vennic::ui_text::no_context_caption,
                      vennic::ui_text::unhandled_text));
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
