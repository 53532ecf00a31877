#include "tools/pack/plan.h"

#include <cstdio>
#include <stdexcept>

#include "app/work_folder.h"
#include "container/printable.h"
#include "container/expand.h"
#include "tools/pack/report.h"
#include "tools/pack/tool_error.h"

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

// One line of a terminal: cut, and bytes outside printable ASCII as \xNN.
// Backslashes stay single, as in the paths that fill command lines.
std::string shown(const std::string& text) {
    const text_prefix prefix = text_prefix::of(text);
    std::string out;
    for (unsigned char c : prefix.bytes) {
        if (c >= 32 && c < 127) {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (prefix.cut()) out += "... (" + std::to_string(prefix.length) + " bytes)";
    return out;
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

container_plan plan_runs(const SettingsMap& settings, const plan_request& request) {
    container_plan plan;
    const auto kind = settings.find("kind");
    if (kind != settings.end()) plan.kind = kind->second;
    for (int bits : request.architectures) {
        SettingsMap run = settings;
        run_facts facts;
        facts.arguments = request.arguments;
        facts.work_folder = sample_work_folder();
        facts.system_folder = sample_system_folder;
        facts.on_64bit_windows = bits == 64;
        // Where a run holds the MSI log; the kinds add it only when asked.
        facts.msi_log = std::string(sample_temp) + "KELMO_msi.log.txt";
        const std::string language = request.language;
        facts.read_language = [language](language_source source) -> std::string {
            if (source == language_source::installer_language && !language.empty()) return language;
            throw std::runtime_error("no value");
        };
        // A run sets "source" before its extraction, so no record overrides it.
        run["source"] = facts.work_folder.substr(0, facts.work_folder.size() - 1);
        plan.runs.push_back({bits, plan_setup_start(run, facts)});
    }
    return plan;
}

std::string plan_text(const container_plan& plan) {
    check_limits(plan);
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
    out += "sample machine: TEMP " + std::string(sample_temp) + ", system folder " + sample_system_folder + "\n";
    return out;
}

std::string plan_json(const container_plan& plan) {
    check_limits(plan);
    std::string out = "{\n  \"kind\": " + (plan.kind.empty() ? std::string("null") : json_string(plan.kind)) +
                      ",\n  \"temp\": " + json_string(sample_temp) +
                      ",\n  \"work_folder\": " + json_string(sample_work_folder()) +
                      ",\n  \"system_folder\": " + json_string(sample_system_folder) + ",\n  \"runs\": [";
    for (std::size_t i = 0; i < plan.runs.size(); ++i) {
        const setup_start& s = plan.runs[i].start;
        out += i ? ",\n    {" : "\n    {";
        out += "\"architecture\": " + std::to_string(plan.runs[i].bits) +
               ", \"silent\": " + (s.silent ? "true" : "false");
        if (s.failure) {
            out += ", \"start\": \"failure\", \"failure\": {\"caption\": " + json_string(s.failure->caption) +
                   ", \"text\": " + json_string(s.failure->text) + "}";
        } else {
            out += std::string(", \"start\": ") + json_string(method_text(s.plan.method)) +
                   ", \"name\": " + json_string(s.plan.name) + ", \"program\": " + json_string(s.program) +
                   ", \"directory\": " + json_string(s.plan.directory) + ", \"parameters\": " + json_string(s.parameters) +
                   ", \"command_line\": " + json_string(s.command_line);
        }
        out += "}";
    }
    return out + (plan.runs.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

}  // namespace trevan::pack
