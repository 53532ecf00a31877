#include "app/dialect.h"

#include <vector>

#include "app/command_line.h"
#include "container/expand.h"
#include "container/file_name.h"
#include "support/core/text.h"

namespace trevan {
namespace {

// One argument of a command-line text: where it stands and what the reader
// makes of it.
struct argument {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string value;
    bool quoted = false;
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// How a program reads its command line into arguments.
enum class reading {
    // The C runtime and CommandLineToArgvW (Burn, most programs):
    // quotation marks taken away, backslashes before them halved.
    runtime,
    // msiexec: a quotation mark opens and closes a quoted part and is taken
    // away, a backslash is a plain character, and a closing quotation mark
    // followed by more text ends the argument. Inno Setup reads its command
    // line much the same way.
    installer,
};

// The arguments of a command-line text. Tabs count as blanks in both
// readings, so that no reading of a tab lets an argument through.
std::vector<argument> arguments_of(const std::string& text, reading how = reading::runtime) {
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
            if (text[i] == '\\' && how == reading::runtime) {
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
                if (how == reading::installer && !in_quotes && i < n && text[i] != '"' && !is_blank(text[i])) break;
            } else {
                a.value += text[i++];
            }
        }
        a.end = i;
        found.push_back(a);
    }
}

bool is_silent_switch(const argument& a) { return a.value == "/S" || a.value == "/s"; }

// The text with every "/S" argument replaced by the run's own switch, the
// rest as written.
composed_text with_silent_switch(const composed_text& text, const std::string& replacement) {
    composed_text out;
    std::size_t copied = 0;
    for (const argument& a : arguments_of(text.text())) {
        if (!is_silent_switch(a)) continue;
        out.append(text.substr(copied, a.begin)).append(replacement, text_origin::run);
        copied = a.end;
    }
    return out.append(text.substr(copied, text.size()));
}

composed_text trimmed(const composed_text& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && is_blank(text.text()[begin])) ++begin;
    while (end > begin && is_blank(text.text()[end - 1])) --end;
    return text.substr(begin, end);
}

// Appends the piece trimmed, with one blank between it and what is there;
// a blank piece adds nothing.
void add_piece(composed_text& out, const composed_text& piece) {
    const composed_text t = trimmed(piece);
    if (!t.size()) return;
    if (out.size()) out.append(" ", text_origin::run);
    out.append(t);
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
        out = trimmed(composed_text(out.append(text, copied, a.begin - copied), text_origin::run)).text();
        copied = end;
    }
    composed_text last = trimmed(composed_text(out.append(text, copied, std::string::npos), text_origin::caller));
    add_piece(last, composed_text(folder, text_origin::caller));
    return last.text();
}

bool is_name_start(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool is_name_char(char c) { return is_name_start(c) || (c >= '0' && c <= '9') || c == '.'; }

// The length of the "NAME=" at i (a Windows Installer property name and
// its "="), or 0.
std::size_t property_at(const std::string& text, std::size_t i) {
    if (i >= text.size() || !is_name_start(text[i])) return 0;
    std::size_t end = i;
    while (end < text.size() && is_name_char(text[end])) ++end;
    return end < text.size() && text[end] == '=' ? end + 1 - i : 0;
}

// A property's value as msiexec reads it: bare when it holds no blank or
// quotation mark, else in quotation marks with each of its own doubled.
composed_text msi_value(const std::string& value) {
    if (!value.empty() && value.find_first_of(" \t\"") == std::string::npos)
        return composed_text(value, text_origin::caller);
    return composed_text("\"", text_origin::run)
        .append(vennic::replace_all_copy(value, "\"", "\"\""), text_origin::caller)
        .append("\"", text_origin::run);
}

// The property text of a "/V" switch as msiexec's properties. The switch
// holds its quotation marks escaped; given to msiexec directly they are
// plain again. A value in quotation marks runs to its closing one (two in a
// row are one of the value's); one without runs to the next property or
// option (a word that begins with "/" or "-"), blanks and all, as the
// caller meant "/V"NAME=two words"". Words that are neither pass as they
// are.
composed_text msi_properties(const std::string& property_text) {
    const std::string text = vennic::replace_all_copy(property_text, "\\\"", "\"");
    const std::size_t n = text.size();
    auto starts_item = [&](std::size_t i) { return property_at(text, i) || text[i] == '/' || text[i] == '-'; };
    composed_text out;
    std::size_t i = 0;
    while (i < n) {
        while (i < n && is_blank(text[i])) ++i;
        if (i == n) break;
        if (out.size()) out.append(" ", text_origin::run);
        const std::size_t name = property_at(text, i);
        if (!name) {
            const std::size_t end = std::min(n, text.find_first_of(" \t", i));
            out.append(text.substr(i, end - i), text_origin::caller);
            i = end;
            continue;
        }
        out.append(text.substr(i, name), text_origin::caller);
        i += name;
        std::string value;
        if (i < n && text[i] == '"') {
            for (++i; i < n; ++i) {
                if (text[i] != '"') {
                    value += text[i];
                } else if (i + 1 < n && text[i + 1] == '"') {
                    value += '"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
            while (i < n && !is_blank(text[i])) value += text[i++];
        } else {
            std::size_t end = i;
            while (end < n) {
                if (!is_blank(text[end])) {
                    ++end;
                    continue;
                }
                std::size_t next = end;
                while (next < n && is_blank(text[next])) ++next;
                if (next == n || starts_item(next)) break;
                end = next;
            }
            value = text.substr(i, end - i);
            i = end;
        }
        out.append(msi_value(value));
    }
    return out;
}

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
std::optional<std::string> assembled_parameters(SettingsMap& settings, const run_facts& facts) {
    std::string property_text = split_arguments(settings, facts);
    try {
        filter_partner_identity(settings, property_text);
    } catch (...) {
    }
    composed_text parameters;
    try {
        parameters = merge_parameters(settings, property_text);
    } catch (...) {
        parameters = composed_text(settings["parameters"], text_origin::container);
    }
    try {
        add_msi_log_option(settings, parameters, facts.msi_log);
    } catch (...) {
    }
    const std::optional<composed_text> expanded = expand_references(parameters, settings);
    if (!expanded) return std::nullopt;
    return add_language_option(expanded->text(), facts.read_language);
}

// Each kind's silent switch for "/S", and the option that points it at
// the MSI log; none where the kind has none.
const char* silent_switch_of(setup_kind kind) {
    switch (kind) {
    case setup_kind::msi: return "/qn";
    case setup_kind::nsis: return "/S";
    case setup_kind::inno: return "/VERYSILENT /SUPPRESSMSGBOXES /NORESTART";
    case setup_kind::burn: return "/quiet /norestart";
    default: return nullptr;
    }
}

const char* log_option_of(setup_kind kind) {
    switch (kind) {
    case setup_kind::msi: return "/l*v ";
    case setup_kind::inno: return "/LOG=";
    case setup_kind::burn: return "/log ";
    default: return nullptr;
    }
}

std::optional<composed_text> kind_parameters(setup_kind kind, SettingsMap& settings, const run_facts& facts) {
    // "commandline" keeps its meaning for references: the arguments
    // without their "/V" switch.
    std::string property_text = split_arguments(settings, facts);
    std::optional<composed_text> out =
        expand_references(composed_text(settings["parameters"], text_origin::container), settings);
    if (!out) return std::nullopt;
    *out = trimmed(*out);
    // msiexec gets the arguments without their "/V" switch, whose property
    // text follows as its properties; the others get them as written.
    const composed_text arguments(kind == setup_kind::msi ? settings["commandline"] : facts.arguments,
                                  text_origin::caller);
    const char* silent = silent_switch_of(kind);
    add_piece(*out, silent ? with_silent_switch(arguments, silent) : arguments);
    if (kind == setup_kind::msi) {
        try {
            filter_partner_identity(settings, property_text);
        } catch (...) {
        }
        add_piece(*out, msi_properties(property_text));
    }
    // The held log's path: below the user's TEMP, but a Windows path holds
    // no quotation mark, so it cannot leave them; the option is the run's.
    const char* log = log_option_of(kind);
    if (log && settings["msilog"] == "ON" && !facts.msi_log.empty())
        add_piece(*out, composed_text(log + ("\"" + facts.msi_log + "\""), text_origin::run));
    if (kind == setup_kind::nsis) return composed_text(with_install_folder_last(out->text()), text_origin::caller);
    return out;
}

// One form of an option a kind refuses, and the name "allowed_options"
// gives it. form is what follows the "/" (or "-"), in lower case; a prefix
// form takes any letters behind it (msiexec's /i<package>, /l*v, /jm).
struct refusal {
    const char* form;
    bool prefix;
    const char* name;
};

// msiexec's options that choose another package, patch, transform or
// action, write a log, or run other code (its DLL registration, its own
// service). /f is matched with its letters only (refused_by), so that
// /forcerestart stays an option of its own.
const refusal msiexec_refusals[] = {
    {"i", true, "/i"},      {"package", true, "/i"},    {"x", true, "/x"},     {"uninstall", false, "/x"},
    {"j", true, "/j"},      {"l", true, "/l"},          {"p", false, "/p"},    {"update", false, "/p"},
    {"a", false, "/a"},     {"y", false, "/y"},         {"z", false, "/z"},    {"t", false, "/t"},
    {"v", false, "/v"},     {"@", false, "/@"},         {"embedding", false, "/embedding"},
    {"regserver", false, "/regserver"},                 {"unregserver", false, "/regserver"},
    {"unregister", false, "/regserver"},                {"unreg", false, "/regserver"},
};
// Windows Installer's properties that load patches and transforms.
const char* const msi_properties_refused[] = {"PATCH", "TRANSFORMS", "MSIPATCHREMOVE"};
// Inno Setup's log and settings files, and the switches its loader and
// Setup pass each other; Inno compares the name up to its "=".
const refusal inno_refusals[] = {
    {"log", false, "/LOG"},           {"log=", false, "/LOG"},           {"loadinf=", false, "/LOADINF"},
    {"saveinf=", false, "/SAVEINF"},  {"sl5=", false, "/SL5"},           {"spawnwnd=", false, "/SPAWNWND"},
    {"notifywnd=", false, "/NOTIFYWND"}, {"debugwnd=", false, "/DEBUGWND"},
    {"debugspawnserver", false, "/DEBUGSPAWNSERVER"},
};
// Burn's log and layout, and the switches the engine passes itself
// ("burn.elevated", "burn.log.append", ...).
const refusal burn_refusals[] = {
    {"l", false, "/log"}, {"log", false, "/log"}, {"layout", false, "/layout"}, {"burn.", true, "/burn."},
};

template <std::size_t n>
const char* refused_by(const refusal (&table)[n], const std::string& form) {
    for (const refusal& r : table)
        if (r.prefix ? form.rfind(r.form, 0) == 0 : form == r.form) return r.name;
    return nullptr;
}

// The name of the refused option the argument is, or nullptr.
const char* refused_name(setup_kind kind, const std::string& argument) {
    if (kind == setup_kind::msi) {
        const std::string upper = vennic::to_upper_copy(argument);
        // Windows Installer reads property names in any letter case and
        // without the blanks before "=".
        std::string name = upper.substr(0, upper.find('='));
        while (!name.empty() && is_blank(name.back())) name.pop_back();
        if (name.size() < upper.size())
            for (const char* property : msi_properties_refused)
                if (name == property) return property;
        // Wine's msiexec reads a bare "u" or "m" as an advertisement, whose
        // package replaces the one to install.
        if (upper == "U") return "u";
        if (upper == "M") return "m";
    }
    const bool dash = kind != setup_kind::inno;
    if (argument.empty() || !(argument[0] == '/' || (dash && argument[0] == '-'))) return nullptr;
    const std::string form = lower(argument.substr(1));
    switch (kind) {
    case setup_kind::msi:
        if (form[0] == 'f' && form.find_first_not_of("poedcamusv", 1) == std::string::npos) return "/f";
        return refused_by(msiexec_refusals, form);
    case setup_kind::inno: {
        const std::size_t equals = form.find('=');
        return refused_by(inno_refusals, equals == std::string::npos ? form : form.substr(0, equals + 1));
    }
    case setup_kind::burn: return refused_by(burn_refusals, form);
    default: return nullptr;
    }
}

// The first argument of the caller's in the parameters that the kind
// refuses and the vendor does not allow. Both readings of a command line
// are asked, so that no reading the installer may make lets one through;
// an argument counts as the caller's when any of its bytes is.
std::optional<std::string> first_refused(setup_kind kind, const composed_text& parameters,
                                         const std::string& allowed) {
    const std::vector<std::string> allowed_list = allowed_option_names(allowed);
    for (reading how : {reading::runtime, reading::installer})
        for (const argument& a : arguments_of(parameters.text(), how)) {
            if (!parameters.from_caller(a.begin, a.end)) continue;
            const char* option = refused_name(kind, a.value);
            if (!option) continue;
            const std::string name = lower(option);
            bool allowed_here = false;
            for (const std::string& n : allowed_list) allowed_here = allowed_here || lower(n) == name;
            if (!allowed_here) return a.value;
        }
    return std::nullopt;
}

const vennic::failure launch_failure{
    "ShellExecuteEx failed", "Unable to spawn process", 0, {}, vennic::ui_text::spawn_text, {}};

}  // namespace

std::optional<std::string> refused_option(setup_kind kind, const std::string& argument) {
    if (const char* name = refused_name(kind, argument)) return std::string(name);
    return std::nullopt;
}

bool is_refusable_option(const std::string& name) {
    const std::string wanted = lower(name);
    auto in = [&](const auto& table) {
        for (const refusal& r : table)
            if (wanted == lower(r.name)) return true;
        return false;
    };
    for (const char* property : msi_properties_refused)
        if (wanted == lower(property)) return true;
    return wanted == "u" || wanted == "m" || wanted == "/f" || in(msiexec_refusals) || in(inno_refusals) ||
           in(burn_refusals);
}

std::vector<std::string> allowed_option_names(const std::string& value) {
    std::vector<std::string> names;
    std::string name;
    for (char c : value + " ") {
        if (c == ' ' || c == '\t' || c == ',') {
            if (!name.empty()) names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    return names;
}

bool asks_for_msi_log(SettingsMap& settings) {
    if (settings["msilog"] != "ON") return false;
    const std::optional<setup_kind> kind = kind_of_setting(settings["kind"]);
    return kind && *kind != setup_kind::nsis && *kind != setup_kind::plain;
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
        start.failure = launch_failure;
        return start;
    }
    start.kind = *kind;
    std::optional<composed_text> parameters;
    if (*kind == setup_kind::none) {
        // The parameters are assembled before the plan, as they always were.
        const std::optional<std::string> assembled = assembled_parameters(settings, facts);
        if (assembled) parameters = composed_text(*assembled, text_origin::caller);
        start.plan = plan_launch(settings, facts.work_folder, facts.on_64bit_windows);
    } else {
        start.plan = plan_launch(settings, facts.work_folder, facts.on_64bit_windows);
        parameters = kind_parameters(*kind, settings, facts);
    }
    if (!parameters || start.plan.over_limit) {
        start.over_limit = true;
        start.failure = launch_failure;
        return start;
    }
    start.parameters = parameters->text();
    if (const std::optional<std::string> refused = first_refused(*kind, *parameters, settings["allowed_options"])) {
        start.refused = *refused;
        start.failure = vennic::failure{
            "Option not allowed",
            "\"" + *refused + "\" is not passed on: the setup program's options are set by the vendor.", 0,
            vennic::ui_text::option_refused_caption, vennic::ui_text::option_refused_text, {*refused}};
        return start;
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
    // With its terminating null.
    if (start.command_line.size() + 1 > max_command_line_length) {
        start.over_limit = true;
        start.failure = launch_failure;
    }
    return start;
}

}  // namespace trevan
