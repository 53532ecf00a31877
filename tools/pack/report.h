#pragma once

// What the pack tool prints about a walk: the chunks and records in walk
// order, and the settings, as text or JSON. Texts are shown byte for byte;
// in JSON, bytes above 127 appear as \u0080 to \u00ff.

#include <string>
#include <vector>

#include "app/settings_map.h"
#include "container/walk.h"

namespace trevan::pack {

struct walk_report {
    std::vector<chunk_info> chunks;
    std::vector<record_info> records;
    walk_result result;
};

std::string report_text(const walk_report& report);
std::string report_json(const walk_report& report);

// One "name=value" line per setting, in the map's order.
std::string settings_text(const SettingsMap& settings);
std::string settings_json(const SettingsMap& settings);

// A JSON string literal for text.
std::string json_string(const std::string& text);

}  // namespace trevan::pack
