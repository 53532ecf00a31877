// trevan-pack: builds payload containers behind the program's image, and
// lists, verifies and extracts them with the program's own walk.
//
// Exit codes: 0 success, 1 verification failed, 2 usage or input error.

#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#else
#include <unistd.h>
#endif

#include "container/settings.h"
#include "container/file_reader.h"
#include "container/walk.h"
#include "tools/pack/branding_options.h"
#include "tools/pack/builder.h"
#include "tools/pack/extraction.h"
#include "tools/pack/report.h"

#ifdef _WIN32
#include "support/platform/system_error_text.h"
#endif

namespace fs = std::filesystem;
using namespace trevan;

namespace {

const char* const program_name = "trevan-pack";

// Bad usage or input: exit code 2 (as for a failed build, build_error).
struct input_error : std::runtime_error {
    using std::runtime_error::runtime_error;
};

bool stderr_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

std::string open_error_text(unsigned long code) {
#ifdef _WIN32
    return vennic::system_error_text(code);
#else
    return std::strerror(static_cast<int>(code));
#endif
}

// Files and folders below this size are handled without progress lines.
constexpr std::uint64_t progress_threshold = 64u << 20;

void show_progress(const char* verb, const std::string& what, std::uint64_t done, std::uint64_t total) {
    if (total < progress_threshold) return;
    std::fprintf(stderr, "\r%s %s: %3u%%", verb, what.c_str(), static_cast<unsigned>(done * 100 / total));
    if (done >= total) std::fputc('\n', stderr);
    std::fflush(stderr);
}

// --file NAME[:STORED]=PATH: the name ends at the first ":" or "=".
pack::record parse_file_option(const std::string& argument) {
    std::string::size_type end = argument.find_first_of(":=");
    if (end == std::string::npos) throw input_error("--file " + argument + ": expected NAME[:STORED]=PATH");
    std::string name = argument.substr(0, end);
    std::string stored;
    if (argument[end] == ':') {
        std::string::size_type eq = argument.find('=', end + 1);
        if (eq == std::string::npos) throw input_error("--file " + argument + ": expected NAME[:STORED]=PATH");
        stored = argument.substr(end + 1, eq - end - 1);
        if (stored.empty()) throw input_error("--file " + argument + ": the stored file name after \":\" is empty");
        end = eq;
    }
    std::string path = argument.substr(end + 1);
    if (path.empty()) throw input_error("--file " + argument + ": the path is empty");
    return pack::file_record(name, stored, path);
}

// --value NAME=TEXT: the name ends at the first "=".
pack::record parse_value_option(const std::string& argument) {
    std::string::size_type eq = argument.find('=');
    if (eq == std::string::npos) throw input_error("--value " + argument + ": expected NAME=TEXT");
    return pack::value_record(argument.substr(0, eq), argument.substr(eq + 1));
}

// A folder opens for reading on some systems and then reads as nothing: it is
// bad input, not a container that fails verification.
void open_container(file_reader& reader, const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw input_error("cannot open " + path + ": it is a folder");
    if (!reader.is_open())
        throw input_error("cannot open " + path + ": " + open_error_text(reader.open_error()));
}

// Progress lines for the large data of a walk, when stderr is a terminal.
pack::progress_fn walk_progress() {
    if (!stderr_is_terminal()) return nullptr;
    return [](bool copying, std::uint32_t done, std::uint32_t total) {
        show_progress(copying ? "writing" : "checking", "file data", done, total);
    };
}

int run_build(const std::string& stub, const std::string& stub_name, CLI::App& command,
              CLI::Option* files, CLI::Option* values, const std::string& output, const pack::branding& brand) {
    // Records keep their command-line order across --file and --value.
    std::vector<pack::record> records;
    std::size_t next_file = 0, next_value = 0;
    for (CLI::Option* option : command.parse_order()) {
        if (option == files) records.push_back(parse_file_option(files->results().at(next_file++)));
        else if (option == values) records.push_back(parse_value_option(values->results().at(next_value++)));
    }
    pack::build_options options;
    options.stub_file_name = stub_name;
    options.brand = brand;
    if (stderr_is_terminal())
        options.progress = [](const std::string& path, std::uint64_t done, std::uint64_t total) {
            show_progress("packing", path, done, total);
        };
    pack::build_container(stub, records, output, options);
    return 0;
}

int fail_verification(const walk_result& result) {
    std::fprintf(stderr, "%s: verification failed: %s\n", program_name, result.reason.c_str());
    return 1;
}

int run_list(const std::string& path, bool json) {
    file_reader reader(path);
    open_container(reader, path);
    pack::recording_observer observer;
    SettingsMap settings;
    walk_result result = walk_container(reader, settings, observer);
    observer.report.result = result;
    observer.report.stub = pack::read_stub_identity(path);
    std::cout << (json ? pack::report_json(observer.report) : pack::report_text(observer.report));
    if (!result.ok) return fail_verification(result);
    return 0;
}

int run_verify(const std::string& path) {
    file_reader reader(path);
    open_container(reader, path);
    pack::recording_observer observer(walk_progress());
    SettingsMap settings;
    walk_result result = walk_container(reader, settings, observer);
    if (!result.ok) return fail_verification(result);
    std::printf("ok: %u chunks, %zu records\n", result.chunks, observer.report.records.size());
    return 0;
}

int run_extract(const std::string& path, const std::string& folder, bool json) {
    file_reader reader(path);
    open_container(reader, path);
    // The container's records are checked, and every place a file goes to,
    // before anything is written; the file data is checked as it is written.
    {
        pack::planning_observer plan;
        SettingsMap ignored;
        walk_result checked = walk_container(reader, ignored, plan);
        if (checked.end == walk_end::bad_file_name) throw input_error("cannot extract: " + checked.reason);
        if (!checked.ok) return fail_verification(checked);
        std::error_code ec;
        if (fs::exists(folder, ec) && !fs::is_directory(folder, ec))
            throw input_error("cannot extract into " + folder + ": it is not a folder");
        pack::check_targets(folder, plan.file_names);
    }

    std::error_code ec;
    bool created = false;
    if (!fs::exists(folder, ec)) {
        created = fs::create_directories(folder, ec);
        if (ec) throw input_error("cannot create " + folder + ": " + ec.message());
    }
    // A folder made here goes again when nothing ends up in it.
    struct remove_if_created {
        const std::string& folder;
        bool& created;
        ~remove_if_created() {
            std::error_code ignored;
            if (created) fs::remove(folder, ignored);
        }
    } cleanup{folder, created};

    SettingsMap settings;
    walk_result result;
    {
        pack::folder_extraction observer(folder, walk_progress());
        result = walk_container(reader, settings, observer);
        if (result.end == walk_end::output_failed) throw input_error(observer.error);
        // The file changed since the first walk.
        if (!result.ok) return fail_verification(result);
        observer.commit();
    }
    created = false;
    std::cout << (json ? pack::settings_json(settings) : pack::settings_text(settings));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Builds payload containers behind the Trevan program's image, and lists, verifies and\n"
                 "extracts them exactly as the program reads them.\n"
                 "Exit codes: 0 success, 1 verification failed, 2 usage or input error."};
    app.name(program_name);
    app.require_subcommand(1);
    app.set_version_flag("--version", "trevan-pack " TREVAN_VERSION);

    CLI::App* build = app.add_subcommand("build", "Write a container: the stub, then the records in the order given");
    std::string stub, stub_name, output;
    build->add_option("--stub", stub, "The unsigned program image to pack (sign the result, not the stub)")
        ->required();
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
    build->add_option("-o,--output", output, "The container to write; replaced only when complete")->required();
    std::function<pack::branding()> chosen_branding = pack::add_branding_options(*build);

    CLI::App* list = app.add_subcommand("list", "Show the chunks and records in walk order");
    std::string list_path;
    bool list_json = false;
    list->add_option("container", list_path, "The packed program")->required();
    list->add_flag("--json", list_json, "Write JSON (bytes above 127 appear as \\u0080 to \\u00ff)");

    CLI::App* verify = app.add_subcommand("verify", "Walk the container as the program does; exit 1 when it fails");
    std::string verify_path;
    verify->add_option("container", verify_path, "The packed program")->required();

    CLI::App* extract = app.add_subcommand(
        "extract", "Write the files into a folder and print the settings, as the program would take them");
    std::string extract_path, extract_folder;
    bool extract_json = false;
    extract->add_option("container", extract_path, "The packed program")->required();
    extract->add_option("-o,--output", extract_folder, "Folder for the files (made when missing)")->required();
    extract->add_flag("--json", extract_json, "Print the settings as a JSON object");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return app.exit(e);
        std::fprintf(stderr, "%s: %s (see %s --help)\n", program_name, e.what(), program_name);
        return 2;
    }

    try {
        if (build->parsed()) return run_build(stub, stub_name, *build, files, values, output, chosen_branding());
        if (list->parsed()) return run_list(list_path, list_json);
        if (verify->parsed()) return run_verify(verify_path);
        if (extract->parsed()) return run_extract(extract_path, extract_folder, extract_json);
    } catch (const std::exception& e) {
        // Bad input, a failed build or an output that cannot be written.
        std::fprintf(stderr, "%s: %s\n", program_name, e.what());
        return 2;
    }
    return 2;
}
