// The program's command-line handling on any command line and container
// settings: the split, the partner-identity filter, the merge into
// "parameters" and the MSI log option, in the run's order. Pieces (cut at
// NUL bytes): the command line, "parameters", "msilog".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> p = trevan::fuzz::pieces(data, size);
    p.resize(3);
    trevan::SettingsMap settings;
    if (!p[1].empty()) settings["parameters"] = p[1];
    if (!p[2].empty()) settings["msilog"] = p[2];
    std::string property_text = trevan::split_command_line(p[0], settings);
    // The split only cuts: what it returns and keeps come from the line.
    if (property_text.size() + settings["commandline"].size() > p[0].size()) std::abort();
    trevan::filter_partner_identity(settings, property_text);
    trevan::merge_parameters(settings, property_text);
    trevan::add_msi_log_option(settings, "C:\\Temp\\KELMO_msi.log.txt");
    return 0;
}
