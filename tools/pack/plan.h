#pragma once

// What a run of a packed program would start: for each architecture the
// program and the exact command line, made by the program's own code
// (app/dialect.h) for a sample machine, so that a plan and a run cannot
// differ but for the machine's folders; and the language the run shows its
// own texts in (app/ui_language.h).
//
//   container_plan plan = plan_runs(settings_of(records), {});
//   std::cout << plan_text(plan);

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/dialect.h"
#include "app/ui_language.h"
#include "container/settings.h"

namespace trevan::pack {

// The sample machine: its temporary directory, the work folder a run makes
// there (that of a run started at 0 seconds) and the system folder.
inline constexpr char sample_temp[] = "C:\\Users\\Setup\\AppData\\Local\\Temp\\";
inline constexpr char sample_system_folder[] = "C:\\Windows\\system32";
std::string sample_work_folder();

struct plan_request {
    // Plans for 64-bit and for 32-bit Windows, in this order.
    std::vector<int> architectures{64, 32};
    // The LCID the registry holds as the installer language; none when empty.
    std::string language;
    // The bootstrapper's own argument text.
    std::string arguments;
    // The user's UI language.
    std::uint16_t ui_language = english_ui_language;
};

// The argument text a Windows caller gives for these arguments: each as it
// is when it holds no blank, tab, line feed, vertical tab or quotation mark
// (and is not empty), else in quotation marks with each of its own escaped
// and the backslashes before one of them or before the closing one
// doubled, so that CommandLineToArgvW reads back exactly the arguments; one
// blank between them.
std::string windows_command_line(const std::vector<std::string>& arguments);

struct architecture_plan {
    int bits = 64;
    setup_start start;
};

struct container_plan {
    std::string kind;  // the "kind" setting as packed; empty when there is none
    std::vector<architecture_plan> runs;
    // The code page the container names for its texts (code_page.h).
    std::optional<unsigned> code_page;
    // The languages the stub image carries the program's texts in, and the
    // one a run shows.
    std::vector<std::uint16_t> carried_ui_languages;
    ui_language_choice ui_language;
};

// Plans from the settings a run's extraction leaves (a file record's name
// gives its stored file name) and the languages of the program's texts in
// the stub image. Throws only std::bad_alloc.
container_plan plan_runs(const SettingsMap& settings, const plan_request& request,
                         const std::vector<std::uint16_t>& carried_ui_languages = {});

// One block of lines per architecture; texts of the container appear cut
// and as the program reads them in the container's code page
// (shown_text.h). Throws tool_error (bad input) when a run's command line
// would pass the limit of Windows: that container cannot start anything.
std::string plan_text(const container_plan& plan);
// The same as a JSON object (json_writer.h), texts whole; throws as plan_text does.
void write_plan_json(std::ostream& out, const container_plan& plan);

}  // namespace trevan::pack
