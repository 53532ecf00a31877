#include "tools/pack/plan.h"

#include <cstdio>
#include <stdexcept>

#include "app/work_folder.h"
#include "tools/pack/code_page.h"
#include "tools/pack/json_writer.h"
#include "tools/pack/shown_text.h"
#include "container/expand.h"
#include "tools/pack/tool_error.h"
#include "tools/pack/ui_packing.h"

namespace trevan::pack {
namespace {

const char* method_text(start_method method) {
    switch (method) {
    case start_method::refuse: return "refused";
    case start_method::create_process: return "directly";
    case start_method::msiexec: return "msiexec";
    }
    return "?";
}

// A run over the limit starts nothing, whatever its arguments: no plan.
void check_limits(const container_plan& plan) {
    for (const architecture_plan& run : plan.runs)
        if (run.start.over_limit)
            throw tool_error("plan: the command line for " + std::to_string(run.bits) +
                             "-bit Windows would pass the " + std::to_string(max_command_line_length) +
                             " characters Windows takes (a run shows \"" + run.start.failure->caption +
                             "\" and ends with 1)");
}

// The registry of the sample machine: the installer language alone, when
// given.
language_reader sample_language_reader(const std::string& language) {
    return [language](language_source source) -> std::string {
        if (source == language_source::installer_language && !language.empty()) return language;
        throw std::runtime_error("no value");
    };
}

}  // namespace

std::string windows_command_line(const std::vector<std::string>& arguments) {
    std::string out;
    for (const std::string& argument : arguments) {
        if (!out.empty()) out += ' ';
        if (!argument.empty() && argument.find_first_of(" \t\n\v\"") == std::string::npos) {
            out += argument;
            continue;
        }
        out += '"';
        std::size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            // Backslashes count only before a quotation mark.
            out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
            out += c;
        }
        out.append(2 * backslashes, '\\');
        out += '"';
    }
    return out;
}

std::string sample_work_folder() { return sample_temp + work_folder_name(0); }

container_plan plan_runs(const SettingsMap& settings, const plan_request& request,
                         const std::vector<std::uint16_t>& carried_ui_languages) {
    container_plan plan;
    const auto kind = settings.find("kind");
    if (kind != settings.end()) plan.kind = kind->second;
    plan.code_page = code_page_of(settings);
    for (int bits : request.architectures) {
        SettingsMap run = settings;
        run_facts facts;
        facts.arguments = request.arguments;
        facts.work_folder = sample_work_folder();
        facts.system_folder = sample_system_folder;
        facts.on_64bit_windows = bits == 64;
        // Where a run holds the MSI log; the kinds add it only when asked.
        facts.msi_log = std::string(sample_temp) + "KELMO_msi.log.txt";
        facts.read_language = sample_language_reader(request.language);
        // A run sets "source" before its extraction, so no record overrides it.
        run["source"] = facts.work_folder.substr(0, facts.work_folder.size() - 1);
        plan.runs.push_back({bits, plan_setup_start(run, facts)});
    }
    // The run chooses before its walk, from the caller's arguments alone.
    plan.carried_ui_languages = carried_ui_languages;
    plan.ui_language =
        choose_ui_language(installer_language_of(request.arguments, sample_language_reader(request.language)),
                           request.ui_language, carried_ui_languages);
    return plan;
}

std::string plan_text(const container_plan& plan) {
    check_limits(plan);
    const text_reading reading{plan.code_page};
    const auto shown = [&reading](const std::string& text) { return reading.bare(text); };
    std::string out = "kind: " + (plan.kind.empty() ? std::string("(none: the program's own dialect)") : shown(plan.kind)) + "\n";
    for (const architecture_plan& run : plan.runs) {
        const setup_start& s = run.start;
        out += std::to_string(run.bits) + "-bit Windows (executable" + std::to_string(run.bits) + "):\n";
        if (s.failure) {
            out += "  nothing starts: \"" + s.failure->caption + "\" box, exit code 1\n";
            out += "  box text      " + shown(s.failure->text) + "\n";
            continue;
        }
        if (s.plan.method == start_method::refuse) {
            out += "  nothing starts: " + (s.plan.name.empty() ? std::string("no setup program") : "\"" + shown(s.plan.name) + "\" is no bare file name") +
                   " (\"ShellExecuteEx failed\" box, exit code 1)\n";
            continue;
        }
        out += "  program       " + shown(s.program) + "\n";
        out += "  command line  " + shown(s.command_line) + "\n";
        out += std::string("  started       ") + method_text(s.plan.method) + ", in " + shown(s.plan.directory) + "\n";
    }
    out += std::string("unattended: ") + (!plan.runs.empty() && plan.runs.front().start.silent ? "yes (/S)" : "only without an interactive window station") + "\n";
    out += "texts: " + ui_language_label(plan.ui_language.lcid) + " (" + reason_text(plan.ui_language.reason) + ")\n";
    out += "sample machine: TEMP " + std::string(sample_temp) + ", system folder " + sample_system_folder + "\n";
    return out;
}

void write_plan_json(std::ostream& out, const container_plan& plan) {
    check_limits(plan);
    const text_reading reading{plan.code_page};
    json runs = json::array();
    for (const architecture_plan& run : plan.runs) {
        const setup_start& s = run.start;
        json shown = {{"architecture", run.bits}, {"silent", s.silent}};
        if (s.failure) {
            shown["start"] = "failure";
            shown["failure"] = {{"caption", reading.utf8(s.failure->caption)}, {"text", reading.utf8(s.failure->text)}};
        } else {
            shown["start"] = method_text(s.plan.method);
            shown["name"] = reading.utf8(s.plan.name);
            shown["program"] = reading.utf8(s.program);
            shown["directory"] = reading.utf8(s.plan.directory);
            shown["parameters"] = reading.utf8(s.parameters);
            shown["command_line"] = reading.utf8(s.command_line);
        }
        runs.push_back(std::move(shown));
    }
    write_json(out, {{"kind", plan.kind.empty() ? json(nullptr) : json(reading.utf8(plan.kind))},
                     {"code_page", plan.code_page ? json(*plan.code_page) : json(nullptr)},
                     {"temp", sample_temp},
                     {"work_folder", sample_work_folder()},
                     {"system_folder", sample_system_folder},
                     {"runs", runs},
                     {"ui_language", {{"lcid", plan.ui_language.lcid},
                                      {"reason", reason_text(plan.ui_language.reason)},
                                      {"carried", plan.carried_ui_languages}}}});
}

}  // namespace trevan::pack
