#include "app/command_line.h"

#include "support/core/text.h"

namespace trevan {
namespace {

const std::string property_switch = "/V";
const std::string quoted_property_switch = "/V\"";
const std::string next_switch_mark = " /";

// The log option's pieces; inside the switch's own quotation marks the path
// is wrapped in backslash-escaped ones.
const std::string log_piece_1 = "/V\"/l*v \\\"";
const std::string log_piece_2 = "\\\"\"";
const std::string log_piece_3 = "\"/l*v \\\"";
const std::string log_piece_4 = "/l*v \\\"";
const std::string log_piece_5 = "\\\" ";

bool contains(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

}  // namespace

std::string split_command_line(const std::string& command_line, SettingsMap& settings) {
    // Searches run on an upper-case copy so "/v" is found too; cuts are made
    // at the same positions in the original, which keeps the value's case.
    const std::string search = vennic::to_upper_copy(command_line);
    std::string cut = command_line;

    std::string::size_type o = search.find(quoted_property_switch);
    if (o != std::string::npos) {
        std::string::size_type c = search.find('"', o + 3);
        // An escaped quotation mark belongs to the value.
        while (c != std::string::npos && search[c - 1] == '\\') c = search.find('"', c + 1);
        if (c == std::string::npos) {
            // No closing quotation mark: leave the command line whole.
            settings["commandline"] = command_line;
            return std::string();
        }
        std::string property_text = cut.substr(o + 3, c - (o + 3));
        cut.erase(o, c - o + 1);
        settings["commandline"] = cut;
        return property_text;
    }

    std::string::size_type j = search.find(property_switch);
    if (j == std::string::npos) {
        settings["commandline"] = command_line;
        return std::string();
    }
    std::string::size_type e = search.find(next_switch_mark, j);
    if (e == std::string::npos) e = search.size();
    std::string property_text = cut.substr(j + 2, e - (j + 2));
    cut.erase(j, e - j);
    settings["commandline"] = cut;
    return property_text;
}

void filter_partner_identity(SettingsMap& settings, std::string& property_text) {
    if (contains(settings["parameters"], "VIRGIN=1")) return;
    static const std::string pair = "USER_PARTNER_IDENTITY=";
    std::string::size_type p = property_text.find(pair);
    if (p == std::string::npos) return;
    std::string::size_type end = property_text.find(' ', p + pair.size());
    if (end == std::string::npos) end = property_text.size();
    property_text.erase(p, end - p);
}

composed_text merge_parameters(SettingsMap& settings, const std::string& property_text) {
    composed_text p(settings["parameters"], text_origin::container);
    const composed_text properties(property_text, text_origin::caller);
    if (!contains(p.text(), property_switch)) {
        p.append(quoted_property_switch, text_origin::run).append(properties).append("\"", text_origin::run);
    } else if (!contains(p.text(), quoted_property_switch)) {
        // Offset 2 wherever the switch stands: right behind it only when the
        // parameters begin with it.
        p.insert(2, composed_text("\"", text_origin::run).append(properties).append("\"", text_origin::run));
    } else {
        p.insert(p.text().find(quoted_property_switch) + 3, composed_text(properties).append(" ", text_origin::run));
    }
    return composed_text(settings["commandline"], text_origin::caller).append(" ", text_origin::run).append(p);
}

void add_msi_log_option(SettingsMap& settings, composed_text& parameters, const std::string& log_path) {
    if (settings["msilog"] != "ON" || log_path.empty()) return;
    auto option = [&](const std::string& before, const std::string& after) {
        return composed_text(before, text_origin::run)
            .append(log_path, text_origin::caller)
            .append(after, text_origin::run);
    };
    const std::string& p = parameters.text();
    if (!contains(p, property_switch)) {
        parameters.append(option(log_piece_1, log_piece_2));
    } else if (!contains(p, quoted_property_switch)) {
        parameters.insert(2, option(log_piece_3, log_piece_2));
    } else {
        parameters.insert(p.find(quoted_property_switch) + 3, option(log_piece_4, log_piece_5));
    }
}

}  // namespace trevan
