// trevan-pack: builds payload containers behind the program's image, and
// lists, verifies and extracts them with the program's own walk. This file
// is the command line; the commands are in commands.cpp.
//
// Exit codes: 0 success, 1 verification failed, 2 usage or input error
// (tool_error.h). Every failure is a tool_error, caught in main alone.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "tools/pack/branding_options.h"
#include "tools/pack/checks.h"
#include "tools/pack/code_page.h"
#include "tools/pack/commands.h"
#include "tools/pack/host.h"
#include "tools/pack/project_file.h"
#include "tools/pack/setup_kind.h"
#include "tools/pack/signing.h"
#include "tools/pack/tool_error.h"
#include "tools/pack/ui_packing.h"

using namespace trevan::pack;

namespace {

const char* const program_name = "trevan-pack";

// The stub of a project that names none: the program beside the tool, as
// the release archives hold it.
std::string default_stub() {
    const std::filesystem::path stub = own_folder() / "Trevan.exe";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(stub, ec))
        throw tool_error("no stub: the project file names none, --stub gives none, and there is no Trevan.exe "
                         "beside trevan-pack (\"" + stub.string() + "\")");
    return stub.string();
}

// --file NAME[:STORED]=PATH: the name ends at the first ":" or "=".
record parse_file_option(const std::string& argument) {
    std::string::size_type end = argument.find_first_of(":=");
    if (end == std::string::npos) throw tool_error("--file " + argument + ": expected NAME[:STORED]=PATH");
    std::string name = argument.substr(0, end);
    std::string stored;
    if (argument[end] == ':') {
        std::string::size_type eq = argument.find('=', end + 1);
        if (eq == std::string::npos) throw tool_error("--file " + argument + ": expected NAME[:STORED]=PATH");
        stored = argument.substr(end + 1, eq - end - 1);
        if (stored.empty()) throw tool_error("--file " + argument + ": the stored file name after \":\" is empty");
        end = eq;
    }
    std::string path = argument.substr(end + 1);
    if (path.empty()) throw tool_error("--file " + argument + ": the path is empty");
    return file_record(name, stored, path);
}

// --value NAME=TEXT: the name ends at the first "=".
record parse_value_option(const std::string& argument) {
    std::string::size_type eq = argument.find('=');
    if (eq == std::string::npos) throw tool_error("--value " + argument + ": expected NAME=TEXT");
    return value_record(argument.substr(0, eq), argument.substr(eq + 1));
}

// What `build --help` says about the settings the program reads.
const char* const settings_help =
    "Settings the program reads (--value NAME=TEXT):\n"
    "  executable32, executable64  the setup program started on 32- or 64-bit Windows, as a rule\n"
    "                              a %reference% to a file record (%installer64%)\n"
    "  parameters                  the setup program's parameters (%references% expanded)\n"
    "  msilog                      ON: a log KELMO_msi.log.txt in %TEMP%\n"
    "  kind                        the setup programs' dialect, set from their bytes unless --kind\n"
    "                              names it; the program's own arguments follow the parameters:\n"
    "    (none)  the arguments' /V properties merged into the /V\"...\" switch, the MSI log\n"
    "            inside it, /L<LCID> in front from the registry's language\n"
    "    msi     msiexec /i \"<file>\"; the /V\"...\" text as NAME=value properties, a value\n"
    "            with blanks quoted (NAME=\"two words\"); msilog /l*v \"<log>\"; /S is /qn\n"
    "    nsis    the arguments as written, /D= moved to the end; /S is /S\n"
    "    inno    as written; msilog /LOG=\"<log>\"; /S is /VERYSILENT /SUPPRESSMSGBOXES /NORESTART\n"
    "    burn    as written; msilog /log \"<log>\"; /S is /quiet /norestart\n"
    "    plain   as written, nothing added\n"
    "  An argument /S also makes the run unattended: no box is shown, each goes to the log.\n"
    "  msi, inno and burn refuse the caller's options that load other code or move the log\n"
    "  (msi /i /a /j /x /f /p /y /z /t /l /v /@ /embedding /regserver u m and the properties\n"
    "  PATCH TRANSFORMS MSIPATCHREMOVE; inno /LOG /LOADINF /SAVEINF /SL5 /SPAWNWND /NOTIFYWND\n"
    "  /DEBUGWND /DEBUGSPAWNSERVER; burn /log /layout /burn.): nothing starts\n"
    "  allowed_options             those of them the caller may pass, blanks between (/l PATCH)\n"
    "Checks (each a line naming the setting, exit 2, no output; --no-check NAME skips one):\n"
    "  executable32, executable64 set and naming a file record; every %reference% in them and in\n"
    "  parameters a setting; parameters within 32,767 characters expanded; msilog ON or absent;\n"
    "  kind one the program knows; allowed_options refusable names; stub a Trevan program";

// --arch 32|64: the architectures planned, 64-bit first when both.
std::vector<int> planned_architectures(const std::string& arch) {
    if (arch.empty()) return {64, 32};
    if (arch == "32" || arch == "64") return {std::stoi(arch)};
    throw tool_error("--arch " + arch + ": expected 32 or 64");
}

const char* const commands[] = {"build", "list", "verify", "extract", "plan"};

// CLI11 takes an unknown word for an argument and asks for a command.
void check_command(const std::vector<std::string>& arguments) {
    if (arguments.size() < 2 || arguments[1].empty() || arguments[1][0] == '-') return;
    for (const char* command : commands)
        if (arguments[1] == command) return;
    throw tool_error("unknown command \"" + arguments[1] + "\": expected build, list, verify, extract or plan (see " +
                     program_name + " --help)");
}

// Parses the command line and runs the command it names.
int run(const std::vector<std::string>& arguments) {
    CLI::App app{"Builds payload containers behind the Trevan program's image, and lists, verifies and\n"
                 "extracts them exactly as the program reads them.\n"
                 "Exit codes: 0 success, 1 verification failed, 2 usage or input error."};
    app.name(program_name);
    app.require_subcommand(1);
    app.set_version_flag("--version", "trevan-pack " TREVAN_VERSION);

    CLI::App* build = app.add_subcommand("build", "Write a container: the stub, then the records in the order given");
    std::string project_path, stub, stub_name, output, sign_command;
    bool build_json = false;
    build->add_option("--project", project_path,
                      "JSON project file: stub, stub_name, files, values, branding, ui_languages, code_page, output, "
                      "sign_command (paths from its folder); the options below win over it, --file and --value "
                      "come after it")
        ->type_name("FILE");
    CLI::Option* stub_option =
        build->add_option("--stub", stub, "The unsigned program image to pack (sign the result, not the stub)");
    CLI::Option* stub_name_option =
        build->add_option("--stub-name", stub_name, "File name kept in the stub record (default: the stub's own)");
    std::vector<std::string> file_specs, value_specs;
    CLI::Option* files = build->add_option(
        "--file", file_specs,
        "A file record: setting NAME, stored file name STORED (default: the file's own name), source PATH")
        ->type_name("NAME[:STORED]=PATH")
        ->expected(1)
        ->take_all();
    CLI::Option* values = build->add_option("--value", value_specs, "A value record: setting NAME with TEXT")
        ->type_name("NAME=TEXT")
        ->expected(1)
        ->take_all();
    std::string code_page_text;
    build->add_option("--code-page", code_page_text,
                      "The ANSI code page the program reads the texts in (874, 932, 936, 949, 950, 1250 to 1258): "
                      "names, values and file names are given in UTF-8 and stored in it; without it they must be "
                      "ASCII")
        ->type_name("N");
    CLI::Option* output_option =
        build->add_option("-o,--output", output, "The container to write; replaced only when complete");
    CLI::Option* sign_option = build->add_option(
        "--sign-command", sign_command,
        "Sign the result with this command before it replaces the output: {in} is the built file, {out} the "
        "signed one (leave it out for a command that signs in place); the result must verify. An empty "
        "TEMPLATE does not sign, whatever the project says");
    sign_option->type_name("TEMPLATE");
    build->add_flag("--json", build_json, "Print the build report as JSON (a --project run prints a summary)");
    std::function<branding(branding)> chosen_branding = add_branding_options(*build);
    std::string kind_option;
    build->add_option("--kind", kind_option,
                      "The setup programs' kind: msi, nsis, inno, burn, plain, or default for none "
                      "(default: detected from their bytes)")
        ->type_name("KIND");
    std::vector<std::string> no_checks;
    build->add_option("--no-check", no_checks, "Skip the check of NAME: executable32, executable64, parameters, "
                                               "msilog, kind, allowed_options or stub")
        ->type_name("NAME")
        ->expected(1)
        ->take_all();
    build->footer(settings_help);

    CLI::App* list = app.add_subcommand("list", "Show the chunks and records in walk order");
    std::string list_path;
    bool list_json = false;
    list->add_option("container", list_path, "The packed program")->required();
    list->add_flag("--json", list_json, "Write JSON (texts as the program reads them in the packed code page)");

    CLI::App* verify = app.add_subcommand("verify", "Walk the container as the program does; exit 1 when it fails");
    std::string verify_path;
    bool verify_json = false;
    verify->add_option("container", verify_path, "The packed program")->required();
    verify->add_flag("--json", verify_json, "Write the result as JSON");

    CLI::App* extract = app.add_subcommand(
        "extract", "Write the files into a folder and print the settings, as the program would take them");
    std::string extract_path, extract_folder;
    bool extract_json = false, extract_force = false;
    extract->add_option("container", extract_path, "The packed program")->required();
    extract->add_option("-o,--output", extract_folder, "Folder for the files (made when missing)")->required();
    extract->add_flag("--force", extract_force, "Write into a folder that is not empty, replacing files of the same names");
    extract->add_flag("--json", extract_json, "Print the settings as a JSON object");

    CLI::App* plan = app.add_subcommand(
        "plan", "Show the program and the exact command line a run would start, for a sample machine");
    std::string plan_path, plan_arch, plan_language;
    std::vector<std::string> plan_arguments;
    bool plan_json = false;
    plan->add_option("container", plan_path, "The packed program")->required();
    plan->add_option("arguments", plan_arguments, "The program's own arguments, after --, quoted as a Windows caller would")
        ->type_name("ARGS");
    plan->add_option("--arch", plan_arch, "Only this Windows: 32 or 64 (default: both)");
    plan->add_option("--language", plan_language, "The installer language the registry holds (an LCID)")
        ->type_name("LCID");
    std::string plan_ui_language;
    plan->add_option("--ui-language", plan_ui_language,
                     "The user's UI language, for the language of the program's own texts (default: 1033)")
        ->type_name("LCID");
    plan->add_flag("--json", plan_json, "Write JSON");

    check_command(arguments);
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) argv.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        // --help and --version end here too, with their own exit code.
        if (e.get_exit_code() == 0) return app.exit(e);
        throw tool_error(std::string(e.what()) + " (see " + program_name + " --help)");
    }

    if (build->parsed()) {
        build_request request;
        project from;
        const bool has_project = !project_path.empty();
        if (has_project) from = read_project_file(project_path);
        // The command line wins over the project file.
        if (stub_option->count()) request.stub = stub;
        else if (from.stub) request.stub = *from.stub;
        else if (has_project) request.stub = default_stub();
        else throw tool_error("--stub is required (or a project file that names the stub, --project)");
        request.stub_name = stub_name_option->count() ? stub_name : from.stub_name.value_or("");
        if (output_option->count()) request.output = output;
        else if (from.output) request.output = *from.output;
        else throw tool_error("--output is required (or a project file's \"output\")");
        request.brand = chosen_branding(from.brand);
        if (!code_page_text.empty()) {
            request.code_page = ansi_code_page_of(code_page_text);
            if (!request.code_page)
                throw tool_error("--code-page " + code_page_text + ": expected an ANSI code page: " + code_page_list());
        } else {
            request.code_page = from.code_page;
        }
        if (!kind_option.empty()) {
            request.kind = kind_of_option(kind_option);
            if (!request.kind)
                throw tool_error("--kind " + kind_option + ": expected msi, nsis, inno, burn, plain or default");
        }
        for (const std::string& name : no_checks) {
            if (std::find(check_names.begin(), check_names.end(), name) == check_names.end())
                throw tool_error("--no-check " + name + ": expected executable32, executable64, parameters, msilog, "
                                 "kind, allowed_options or stub");
            request.skipped_checks.insert(name);
        }
        // Records keep their order: the project's, then the command line's
        // across --file and --value.
        request.records = from.records;
        std::size_t next_file = 0, next_value = 0;
        for (CLI::Option* option : build->parse_order()) {
            if (option == files) request.records.push_back(parse_file_option(files->results().at(next_file++)));
            else if (option == values) request.records.push_back(parse_value_option(values->results().at(next_value++)));
        }
        if (sign_option->count()) {
            // An empty template turns the project's signing off.
            std::optional<std::string> problem = sign_command_problem(sign_command);
            if (problem && !sign_command.empty()) throw tool_error("--sign-command " + *problem);
            request.sign_command = sign_command;
            request.sign_folder = ".";
        } else if (from.sign_command) {
            request.sign_command = *from.sign_command;
            request.sign_folder = from.folder;
        }
        request.report = build_json ? report_style::json : has_project ? report_style::text : report_style::none;
        run_build(request);
    } else if (list->parsed()) {
        run_list(list_path, list_json);
    } else if (verify->parsed()) {
        run_verify(verify_path, verify_json);
    } else if (extract->parsed()) {
        run_extract(extract_path, extract_folder, extract_json, extract_force);
    } else if (plan->parsed()) {
        plan_request request;
        request.architectures = planned_architectures(plan_arch);
        request.language = plan_language;
        request.arguments = windows_command_line(plan_arguments);
        if (!plan_ui_language.empty()) {
            const std::optional<std::uint16_t> lcid = lcid_of(plan_ui_language);
            if (!lcid) throw tool_error("--ui-language " + plan_ui_language + ": expected an LCID (a decimal number "
                                        "from 1 to 65535, such as 1031)");
            request.ui_language = *lcid;
        }
        run_plan(plan_path, request, plan_json);
    }
    return static_cast<int>(exit_code::success);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        const std::optional<std::vector<std::string>> arguments = utf8_arguments(argc, argv);
        if (!arguments) throw tool_error("the command line is not Unicode text");
        return run(*arguments);
    } catch (const tool_error& e) {
        std::fprintf(stderr, "%s: %s\n", program_name, e.what());
        return static_cast<int>(e.code());
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: not enough memory\n", program_name);
        return static_cast<int>(exit_code::bad_input);
    } catch (const std::exception& e) {
        // What no command foresaw (memory, a library's own error) is bad
        // input too: one line, exit code 2.
        std::fprintf(stderr, "%s: %s\n", program_name, e.what());
        return static_cast<int>(exit_code::bad_input);
    }
}
