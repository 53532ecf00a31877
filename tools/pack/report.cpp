#include "tools/pack/report.h"

#include <cstdio>

namespace trevan::pack {
namespace {

const char* end_text(walk_end end) {
    switch (end) {
    case walk_end::stub_reached: return "stub";
    case walk_end::unreadable_chunk: return "unreadable chunk";
    case walk_end::digest_mismatch: return "digest mismatch";
    case walk_end::no_marker: return "no container";
    case walk_end::bad_file_name: return "bad file name";
    case walk_end::output_failed: return "output failed";
    case walk_end::cancelled: return "cancelled";
    }
    return "?";
}

// A JSON member "key": "prefix", with "key_length": N behind it when cut.
std::string json_member(const char* key, const text_prefix& text) {
    std::string out = "\"" + std::string(key) + "\": " + json_string(text.bytes);
    if (text.cut()) out += ", \"" + std::string(key) + "_length\": " + std::to_string(text.length);
    return out;
}

}  // namespace

record_entry record_entry::of(const record_info& info) {
    record_entry e;
    e.kind = info.kind;
    e.tag = text_prefix::of(info.tag);
    e.name = text_prefix::of(info.name);
    e.text = text_prefix::of(info.text);
    e.file_size = info.file_size;
    e.setting_added = info.setting_added;
    return e;
}

std::string json_string(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c >= 32 && c < 127) out += static_cast<char>(c);
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04x", c);
            out += hex;
        }
    }
    return out + "\"";
}

std::string report_text(const walk_report& report) {
    std::string out = "chunks (walk order):\n";
    char line[160];
    std::snprintf(line, sizeof line, "%6s  %-9s  %10s  %10s  %s\n", "index", "role", "offset", "length", "digest");
    out += line;
    for (const chunk_info& c : report.chunks) {
        std::snprintf(line, sizeof line, "%6u  %-9s  %10u  %10u  %s\n", c.index, role_text(c.role), c.offset,
                      c.length, c.digest_ok ? "ok" : "bad");
        out += line;
    }
    out += "records (walk order):\n";
    for (const record_entry& r : report.records) {
        out += "  ";
        out += kind_text(r.kind);
        switch (r.kind) {
        case record_kind::value: out += "  " + quoted_text(r.name) + " = " + quoted_text(r.text); break;
        case record_kind::file:
            out += "   " + quoted_text(r.name) + " = " + quoted_text(r.text) + " (" + std::to_string(r.file_size) +
                   " bytes)";
            break;
        case record_kind::stub: out += "   " + quoted_text(r.name); break;
        case record_kind::other: out += "  tag " + quoted_text(r.tag) + ", name " + quoted_text(r.name); break;
        }
        if ((r.kind == record_kind::value || r.kind == record_kind::file) && !r.setting_added && r.name.length > 0)
            out += "  [ignored: set before]";
        out += "\n";
    }
    out += std::string("result: ") + (report.result.ok ? "true" : "false") + " (" + report.result.reason + ")\n";
    out += "kind: " + (report.kind ? quoted_text(*report.kind) : std::string("none (the program's own command line)")) + "\n";
    if (report.stub) out += identity_text(*report.stub);
    return out;
}

std::string report_json(const walk_report& report) {
    std::string out = "{\n  \"chunks\": [";
    for (std::size_t i = 0; i < report.chunks.size(); ++i) {
        const chunk_info& c = report.chunks[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"index\": " + std::to_string(c.index) + ", \"role\": " + json_string(role_text(c.role)) +
               ", \"offset\": " + std::to_string(c.offset) + ", \"length\": " + std::to_string(c.length) +
               ", \"digest\": " + (c.digest_ok ? "\"ok\"" : "\"bad\"") + "}";
    }
    out += report.chunks.empty() ? "],\n  \"records\": [" : "\n  ],\n  \"records\": [";
    for (std::size_t i = 0; i < report.records.size(); ++i) {
        const record_entry& r = report.records[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"kind\": " + json_string(kind_text(r.kind)) + ", " + json_member("tag", r.tag) + ", " +
               json_member("name", r.name);
        if (r.kind == record_kind::value) out += ", " + json_member("value", r.text);
        if (r.kind == record_kind::file)
            out += ", " + json_member("file_name", r.text) + ", \"size\": " + std::to_string(r.file_size);
        if (r.kind == record_kind::value || r.kind == record_kind::file)
            out += std::string(", \"setting_added\": ") + (r.setting_added ? "true" : "false");
        out += "}";
    }
    out += report.records.empty() ? "],\n" : "\n  ],\n";
    out += std::string("  \"result\": ") + (report.result.ok ? "true" : "false") +
           ",\n  \"end\": " + json_string(end_text(report.result.end)) +
           ",\n  \"reason\": " + json_string(report.result.reason) +
           ",\n  \"kind\": " + (report.kind ? json_string(*report.kind) : std::string("null"));
    if (report.stub) out += ",\n  \"stub\": " + identity_json(*report.stub);
    out += "\n}\n";
    return out;
}

std::string settings_text(const SettingsMap& settings) {
    std::string out;
    for (const auto& [name, value] : settings)
        out += escaped_text(text_prefix::of(name)) + "=" + escaped_text(text_prefix::of(value)) + "\n";
    return out;
}

std::string settings_json(const SettingsMap& settings) {
    std::string out = "{";
    bool first = true;
    for (const auto& [name, value] : settings) {
        out += first ? "\n  " : ",\n  ";
        const text_prefix shown_name = text_prefix::of(name), shown_value = text_prefix::of(value);
        // A key is cut like a value; two keys cut alike cannot both be told.
        out += json_string(shown_name.bytes) + ": ";
        if (shown_value.cut())
            out += "{\"prefix\": " + json_string(shown_value.bytes) + ", \"length\": " +
                   std::to_string(shown_value.length) + "}";
        else
            out += json_string(shown_value.bytes);
        first = false;
    }
    return out + (first ? "}\n" : "\n}\n");
}

}  // namespace trevan::pack
