#pragma once

// The program's command line and the setup program's parameters: the
// property switch cut out, the partner identity filtered, the two merged,
// the MSI log option added. Everything works on the run's settings.

#include <string>

#include "container/expand.h"
#include "container/settings.h"

namespace trevan {

// Cuts the property switch ("/V", any letter case, quoted or not) out of the
// program's command line: stores the rest under "commandline" and returns
// the switch's value (empty when there is none). A quoted switch without a
// closing quotation mark is treated as no split at all: the whole command
// line is stored and the value is empty. Throws std::bad_alloc only.
std::string split_command_line(const std::string& command_line, SettingsMap& settings);

// Unless "parameters" contains "VIRGIN=1", drops the first
// "USER_PARTNER_IDENTITY=..." pair from the property text (up to the next
// space, which stays).
void filter_partner_identity(SettingsMap& settings, std::string& property_text);

// The parameters of a run without a kind: the property text merged into the
// "/V" switch of "parameters", the "commandline" setting and one space in
// front. The container's "parameters" are the text whose references are
// expanded; the property text and "commandline" are the caller's, put in as
// they are. The settings keep the container's "parameters".
composed_text merge_parameters(SettingsMap& settings, const std::string& property_text);

// When "msilog" is exactly "ON" and log_path is not empty, inserts the
// verbose MSI log option for log_path (the run's "KELMO_msi.log.txt", see
// msi_log.h; it lies below the user's TEMP, so it counts as the caller's
// text) into the parameters merge_parameters made.
void add_msi_log_option(SettingsMap& settings, composed_text& parameters, const std::string& log_path);

}  // namespace trevan
