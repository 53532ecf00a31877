#pragma once

// What the pack tool prints about a walk: the chunks and records in walk
// order, and the settings, as text or JSON. Every text of the container
// (tags, names, values, file names) is shown as a bounded prefix with its
// full length beside it when cut (container/printable.h): escaped in text
// mode; in JSON, bytes above 127 appear as \u0080 to \u00ff, and a cut
// text has its full length in a field beside it.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "container/printable.h"
#include "container/settings.h"
#include "container/walk.h"
#include "tools/pack/stub_identity.h"

namespace trevan::pack {

// A record as the report keeps it: its texts cut to what is shown.
struct record_entry {
    record_kind kind = record_kind::other;
    text_prefix tag;
    text_prefix name;
    text_prefix text;  // the value, or the stored file name
    std::uint32_t file_size = 0;
    bool setting_added = false;

    static record_entry of(const record_info& info);
};

struct walk_report {
    std::vector<chunk_info> chunks;
    std::vector<record_entry> records;
    walk_result result;
    // The "kind" setting the walk found, the dialect the program speaks to
    // the setup programs (app/dialect.h); nothing when there is none.
    std::optional<std::string> kind;
    // The stub's names, version, icon and signature, shown after the walk.
    std::optional<stub_identity> stub;
};

// Called after each piece of a large chunk: whether its data is being
// copied (else checked), bytes done, bytes in all.
using progress_fn = std::function<void(bool copying, std::uint32_t done, std::uint32_t total)>;

// Collects what the walk reports, and passes progress on when given.
class recording_observer : public walk_observer {
public:
    explicit recording_observer(progress_fn progress = nullptr) : progress_(std::move(progress)) {}
    void chunk_read(const chunk_info& info) override { report.chunks.push_back(info); }
    void record_read(const record_info& info) override { report.records.push_back(record_entry::of(info)); }
    void data_progress(bool copying, std::uint32_t done, std::uint32_t total) override {
        if (progress_) progress_(copying, done, total);
    }
    walk_report report;

private:
    progress_fn progress_;
};

std::string report_text(const walk_report& report);
std::string report_json(const walk_report& report);

// One "name=value" line per setting, in the map's order, both escaped and
// cut (escaped_text).
std::string settings_text(const SettingsMap& settings);
// A JSON object of the settings; a cut value appears as an object
// {"prefix": "...", "length": N} instead of a string.
std::string settings_json(const SettingsMap& settings);

// A JSON string literal for text.
std::string json_string(const std::string& text);

}  // namespace trevan::pack
