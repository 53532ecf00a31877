#include "tools/pack/report.h"

#include <cstdio>

namespace trevan::pack {
namespace {

// Text mode shows control characters, quotes and backslashes escaped, so
// that every record stays on one line.
std::string shown(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 32 || c == 127) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02x", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

const char* end_text(walk_end end) {
    switch (end) {
    case walk_end::stub_reached: return "stub";
    case walk_end::unreadable_chunk: return "unreadable chunk";
    case walk_end::digest_mismatch: return "digest mismatch";
    case walk_end::no_marker: return "no container";
    case walk_end::output_failed: return "output failed";
    }
    return "?";
}

}  // namespace

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
    for (const record_info& r : report.records) {
        out += "  ";
        out += kind_text(r.kind);
        switch (r.kind) {
        case record_kind::value: out += "  " + shown(r.name) + " = " + shown(r.text); break;
        case record_kind::file:
            out += "   " + shown(r.name) + " = " + shown(r.text) + " (" + std::to_string(r.file_size) + " bytes)";
            break;
        case record_kind::stub: out += "   " + shown(r.name); break;
        case record_kind::other: out += "  tag " + shown(r.tag) + ", name " + shown(r.name); break;
        }
        if ((r.kind == record_kind::value || r.kind == record_kind::file) && !r.setting_added && !r.name.empty())
            out += "  [ignored: set before]";
        out += "\n";
    }
    out += std::string("result: ") + (report.result.ok ? "true" : "false") + " (" + report.result.reason + ")\n";
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
        const record_info& r = report.records[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"kind\": " + json_string(kind_text(r.kind)) + ", \"tag\": " + json_string(r.tag) +
               ", \"name\": " + json_string(r.name);
        if (r.kind == record_kind::value) out += ", \"value\": " + json_string(r.text);
        if (r.kind == record_kind::file)
            out += ", \"file_name\": " + json_string(r.text) + ", \"size\": " + std::to_string(r.file_size);
        if (r.kind == record_kind::value || r.kind == record_kind::file)
            out += std::string(", \"setting_added\": ") + (r.setting_added ? "true" : "false");
        out += "}";
    }
    out += report.records.empty() ? "],\n" : "\n  ],\n";
    out += std::string("  \"result\": ") + (report.result.ok ? "true" : "false") +
           ",\n  \"end\": " + json_string(end_text(report.result.end)) +
           ",\n  \"reason\": " + json_string(report.result.reason);
    if (report.stub) out += ",\n  \"stub\": " + identity_json(*report.stub);
    out += "\n}\n";
    return out;
}

std::string settings_text(const SettingsMap& settings) {
    std::string out;
    for (const auto& [name, value] : settings) out += name + "=" + value + "\n";
    return out;
}

std::string settings_json(const SettingsMap& settings) {
    std::string out = "{";
    bool first = true;
    for (const auto& [name, value] : settings) {
        out += first ? "\n  " : ",\n  ";
        out += json_string(name) + ": " + json_string(value);
        first = false;
    }
    return out + (first ? "}\n" : "\n}\n");
}

}  // namespace trevan::pack
