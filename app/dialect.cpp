#include "app/dialect.h"

#include <vector>

#include "app/command_line.h"
#include "container/expand.h"
#include "container/file_name.h"
#include "support/core/text.h"

namespace trevan {
namespace {

// One argument of a command-line text: where it stands and what the C
// runtime makes of it (quotation marks taken away, backslashes before them
// halved).
struct argument {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string value;
    bool quoted = false;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::vector<argument> arguments_of(const std::string& text) {
    std::vector<argument> found;
    const std::size_t n = text.size();
    std::size_t i = 0;
    for (;;) {
        while (i < n && is_blank(text[i])) ++i;
        if (i == n) return found;
        argument a;
        a.begin = i;
        bool in_quotes = false;
        while (i < n && (in_quotes || !is_blank(text[i]))) {
            if (text[i] == '\\') {
                std::size_t run = i;
                while (run < n && text[run] == '\\') ++run;
                const std::size_t count = run - i;
                if (run < n && text[run] == '"') {
                    a.value.append(count / 2, '\\');
                    // An odd run escapes the quotation mark; an even one
                    // leaves it to open or close a quoted part.
                    if (count % 2) {
                        a.value += '"';
                        ++run;
                    }
                } else {
                    a.value.append(count, '\\');
                }
                i = run;
            } else if (text[i] == '"') {
                a.quoted = true;
                in_quotes = !in_quotes;
                ++i;
            } else {
                a.value += text[i++];
            }
        }
        a.end = i;
        found.push_back(a);
    }
}

bool is_silent_switch(const argument& a) { return a.value == "/S" || a.value == "/s"; }

// The text with every "/S" argument replaced, the rest as written.
std::string with_silent_switch(const std::string& text, const std::string& replacement) {
    std::string out;
    std::size_t copied = 0;
    for (const argument& a : arguments_of(text)) {
        if (!is_silent_switch(a)) continue;
        out.append(text, copied, a.begin - copied);
        out += replacement;
        copied = a.end;
    }
    return out.append(text, copied, std::string::npos);
}

std::string trimmed(const std::string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && is_blank(text[begin])) ++begin;
    while (end > begin && is_blank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// The pieces that are not blank, trimmed, one blank between them.
std::string joined(std::initializer_list<std::string> pieces) {
    std::string out;
    for (const std::string& piece : pieces) {
        const std::string t = trimmed(piece);
        if (t.empty()) continue;
        if (!out.empty()) out += ' ';
        out += t;
    }
    return out;
}

// NSIS takes the install folder from a "/D=" that ends its command line and
// reads the rest of the line as the path, quotation marks and all. So the
// last "/D=" argument goes to the very end: one in quotation marks gives
// their content, one without runs on to the next switch (an argument that
// begins with "/" or a quotation mark), so that a path with blanks needs
// none. Earlier ones are dropped: NSIS would read the first as a path
// running over the others.
std::string with_install_folder_last(const std::string& text) {
    const std::vector<argument> found = arguments_of(text);
    std::string out, folder;
    std::size_t copied = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        const argument& a = found[i];
        if (a.value.compare(0, 3, "/D=") != 0) continue;
        std::size_t end = a.end;
        folder = a.value;
        if (!a.quoted) {
            while (i + 1 < found.size() && text[found[i + 1].begin] != '/' && text[found[i + 1].begin] != '"')
                end = found[++i].end;
            folder = text.substr(a.begin, end - a.begin);
        }
        out = trimmed(out.append(text, copied, a.begin - copied));
        copied = end;
    }
    out.append(text, copied, std::string::npos);
    return joined({out, folder});
}

// The property text of a "/V" switch holds its quotation marks escaped;
// given to msiexec directly they are plain again.
std::string plain_properties(const std::string& property_text) {
    return vennic::replace_all_copy(property_text, "\\\"", "\"");
}

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// Stores the arguments without their "/V" switch under "commandline" and
// returns the switch's property text; a split that fails keeps them whole.
std::string split_arguments(SettingsMap& settings, const run_facts& facts) {
    try {
        return split_command_line(facts.arguments, settings);
    } catch (...) {
        settings["commandline"] = facts.arguments;
        return std::string();
    }
}

// The command line as it always was: the property text merged into the
// "/V" switch, the MSI log inside it, the language switch in front. Each
// assembly step that fails is skipped, the text going on without it.
std::string assembled_parameters(SettingsMap& settings, const run_facts& facts) {
    std::string property_text = split_arguments(settings, facts);
    try {
        filter_partner_identity(settings, property_text);
    } catch (...) {
    }
    try {
        merge_parameters(settings, property_text);
    } catch (...) {
    }
    try {
        add_msi_log_option(settings, facts.msi_log);
    } catch (...) {
    }
    return add_language_option(expand_references(settings["parameters"], settings), facts.read_language);
}

std::string kind_parameters(setup_kind kind, SettingsMap& settings, const run_facts& facts) {
    // "commandline" keeps its meaning for references: the arguments
    // without their "/V" switch.
    std::string property_text = split_arguments(settings, facts);
    const std::string container = expand_references(settings["parameters"], settings);
    const bool log = settings["msilog"] == "ON" && !facts.msi_log.empty();
    switch (kind) {
    case setup_kind::msi: {
        try {
            filter_partner_identity(settings, property_text);
        } catch (...) {
        }
        const std::string arguments = with_silent_switch(settings["commandline"], "/qn");
        return joined({container, arguments, plain_properties(property_text),
                       log ? "/l*v " + quoted(facts.msi_log) : ""});
    }
    case setup_kind::nsis:
        return with_install_folder_last(joined({container, with_silent_switch(facts.arguments, "/S")}));
    case setup_kind::inno:
        return joined({container, with_silent_switch(facts.arguments, "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART"),
                       log ? "/LOG=" + quoted(facts.msi_log) : ""});
    case setup_kind::burn:
        return joined({container, with_silent_switch(facts.arguments, "/quiet /norestart"),
                       log ? "/log " + quoted(facts.msi_log) : ""});
    case setup_kind::plain:
    case setup_kind::none: break;
    }
    return joined({container, facts.arguments});
}

}  // namespace

bool shows_message_box(bool silent_switch, bool interactive, bool log_ready) {
    return interactive && !(silent_switch && log_ready);
}

bool asks_for_msi_log(SettingsMap& settings) {
    if (settings["msilog"] != "ON") return false;
    const std::optional<setup_kind> kind = kind_of_setting(settings["kind"]);
    return kind && *kind != setup_kind::nsis && *kind != setup_kind::plain;
}

const char* kind_name(setup_kind kind) {
    switch (kind) {
    case setup_kind::none: return "";
    case setup_kind::msi: return "msi";
    case setup_kind::nsis: return "nsis";
    case setup_kind::inno: return "inno";
    case setup_kind::burn: return "burn";
    case setup_kind::plain: return "plain";
    }
    return "";
}

std::optional<setup_kind> kind_of_setting(const std::string& value) {
    for (setup_kind kind : {setup_kind::none, setup_kind::msi, setup_kind::nsis, setup_kind::inno,
                            setup_kind::burn, setup_kind::plain})
        if (value == kind_name(kind)) return kind;
    return std::nullopt;
}

bool has_silent_switch(const std::string& arguments) {
    for (const argument& a : arguments_of(arguments))
        if (is_silent_switch(a)) return true;
    return false;
}

setup_start plan_setup_start(SettingsMap& settings, const run_facts& facts) {
    setup_start start;
    start.silent = has_silent_switch(facts.arguments);
    const std::optional<setup_kind> kind = kind_of_setting(settings["kind"]);
    if (!kind) {
        start.failure = vennic::failure{"ShellExecuteEx failed", "Unable to spawn process", 0};
        return start;
    }
    start.kind = *kind;
    if (*kind == setup_kind::none) {
        // The parameters are assembled before the plan, as they always were.
        start.parameters = assembled_parameters(settings, facts);
        start.plan = plan_launch(settings, facts.work_folder, facts.on_64bit_windows);
    } else {
        start.plan = plan_launch(settings, facts.work_folder, facts.on_64bit_windows);
        start.parameters = kind_parameters(*kind, settings, facts);
    }
    // The kind decides, whatever the file's name ends in.
    if (*kind == setup_kind::msi && is_bare_file_name(start.plan.name)) start.plan.method = start_method::msiexec;
    if (start.plan.method == start_method::msiexec) {
        start.program = facts.system_folder + "\\msiexec.exe";
        start.command_line = direct_command_line(start.program, msiexec_arguments(start.plan.file, start.parameters));
    } else {
        start.program = start.plan.file;
        start.command_line = direct_command_line(start.program, start.parameters);
    }
    return start;
}

}  // namespace trevan
