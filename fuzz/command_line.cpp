// The program's command-line handling on any command line and container
// settings: the split, the partner-identity filter, the merge into
// "parameters" and the MSI log option, in the run's order; then the whole
// setup start in the dialect of a kind. Pieces (cut at NUL bytes): the
// command line, "parameters", "msilog", "kind".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "app/dialect.h"
#include "container/expand.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> p = trevan::fuzz::pieces(data, size);
    p.resize(4);
    trevan::SettingsMap settings;
    if (!p[1].empty()) settings["parameters"] = p[1];
    if (!p[2].empty()) settings["msilog"] = p[2];
    std::string property_text = trevan::split_command_line(p[0], settings);
    // The split only cuts: what it returns and keeps come from the line.
    if (property_text.size() + settings["commandline"].size() > p[0].size()) std::abort();
    trevan::filter_partner_identity(settings, property_text);
    trevan::composed_text parameters = trevan::merge_parameters(settings, property_text);
    trevan::add_msi_log_option(settings, parameters, "C:\\Temp\\KELMO_msi.log.txt");

    trevan::SettingsMap container{{"executable64", "Setup.exe"}, {"parameters", p[1]}, {"msilog", p[2]}, {"kind", p[3]}};
    trevan::run_facts facts;
    facts.arguments = p[0];
    facts.work_folder = "C:\\Temp\\VORBELQ1\\";
    facts.system_folder = "C:\\Windows\\system32";
    facts.on_64bit_windows = true;
    facts.msi_log = "C:\\Temp\\KELMO_msi.log.txt";
    facts.read_language = [](trevan::language_source) -> std::string { throw 0; };
    const trevan::setup_start start = trevan::plan_setup_start(container, facts);
    // A known kind always plans the start of the program it names, within
    // the limit of a command line.
    if (!start.failure && start.command_line.rfind("\"" + start.program + "\"", 0) != 0) std::abort();
    if (!start.failure && start.command_line.size() >= trevan::max_command_line_length) std::abort();
    // A refusal names an argument the kind refuses.
    if (!start.refused.empty() && !trevan::refused_option(start.kind, start.refused)) std::abort();
    return 0;
}
