#include "tools/pack/commands.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "container/settings.h"
#include "container/walk.h"
#include "tools/pack/build_report.h"
#include "tools/pack/checks.h"
#include "tools/pack/code_page.h"
#include "tools/pack/extraction.h"
#include "tools/pack/host.h"
#include "tools/pack/report.h"
#include "tools/pack/setup_kind.h"
#include "tools/pack/shown_text.h"
#include "tools/pack/signing.h"
#include "tools/pack/stub_identity.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;

// Files and folders below this size are handled without progress lines.
constexpr std::uint64_t progress_threshold = 64u << 20;

void show_progress(const char* verb, const std::string& what, std::uint64_t done, std::uint64_t total) {
    if (total < progress_threshold) return;
    std::fprintf(stderr, "\r%s %s: %3u%%", verb, what.c_str(), static_cast<unsigned>(done * 100 / total));
    if (done >= total) std::fputc('\n', stderr);
    std::fflush(stderr);
}

// A folder opens for reading on some systems and then reads as nothing: it is
// bad input, not a container that fails verification.
void open_container(const input_file& file, const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(native_path(path), ec)) throw tool_error("cannot open " + path + ": it is a folder");
    if (!file.is_open()) throw tool_error("cannot open " + path + ": " + open_error_text(file.open_error()));
}

// Progress lines for the large data of a walk, when stderr is a terminal.
progress_fn walk_progress() {
    if (!stderr_is_terminal()) return nullptr;
    return [](bool copying, std::uint32_t done, std::uint32_t total) {
        show_progress(copying ? "writing" : "checking", "file data", done, total);
    };
}

void require_sound(const walk_result& result) {
    if (!result.ok) throw tool_error("verification failed: " + result.reason, exit_code::verification_failed);
}

}  // namespace

void run_build(const build_request& request) {
    build_options options;
    const std::string stub_name =
        request.stub_name.empty() ? native_path(request.stub).filename().string() : request.stub_name;
    options.stub_file_name = stored_text(stub_name, request.code_page, "the stub's file name");
    // Every text in the code page the program reads it in, before anything
    // else looks at the records.
    const std::vector<record> records = stored_records(request.records, request.code_page);
    options.brand = request.brand;
    if (stderr_is_terminal())
        options.progress = [](const std::string& path, std::uint64_t done, std::uint64_t total) {
            show_progress("packing", path, done, total);
        };
    // The builder's own checks of the inputs come first; then the kind and
    // the checks of what the program will make of the records.
    std::vector<record> packed;
    options.review = [&request, &packed](const std::vector<record>& records) {
        std::vector<record> added;
        if (std::optional<record> kind = kind_record(records, request.kind)) added.push_back(*kind);
        packed = records;
        packed.insert(packed.end(), added.begin(), added.end());
        check_inputs(request.stub, packed, request.skipped_checks);
        return added;
    };
    const bool signing = !request.sign_command.empty();
    if (signing) options.put_in_place = signed_placement(request.sign_command, request.sign_folder);
    std::vector<written_record> written = build_container(request.stub, records, request.output, options);
    if (request.report == report_style::none) return;
    const build_report report =
        report_of_build(request.output, std::move(written), plan_payload(packed), signing, request.code_page);
    if (request.report == report_style::json) write_build_report_json(std::cout, report);
    else std::cout << build_report_text(report);
    std::cout << std::flush;
}

void run_plan(const std::string& path, const plan_request& request, bool json) {
    input_file file(path);
    open_container(file, path);
    SettingsMap settings;
    require_sound(walk_container(file.reader(), settings));
    // The arguments reach the program in its ANSI code page: the one the
    // container names, or plain ASCII.
    plan_request in_code_page = request;
    const std::optional<unsigned> code_page = code_page_of(settings);
    const std::optional<std::string> arguments =
        code_page ? from_utf8(request.arguments, *code_page) : std::optional<std::string>(request.arguments);
    if (!arguments || (!code_page && !is_ascii(*arguments)))
        throw tool_error("the arguments " + quoted_utf8(request.arguments) +
                         (code_page ? " cannot be read in the container's code page " + std::to_string(*code_page)
                                    : std::string(" hold text outside ASCII, and the container names no code page "
                                                  "to read them in")));
    in_code_page.arguments = *arguments;
    // The languages the program finds in its own image: every one of the
    // texts' first block, as it enumerates them.
    std::vector<std::uint16_t> carried;
    for (const carried_ui_language& language : read_stub_identity(path).ui_languages) carried.push_back(language.lcid);
    const container_plan plan = plan_runs(settings, in_code_page, carried);
    if (json) write_plan_json(std::cout, plan);
    else std::cout << plan_text(plan);
    std::cout << std::flush;
}

void run_list(const std::string& path, bool json) {
    input_file file(path);
    open_container(file, path);
    const stub_identity stub = read_stub_identity(path);
    const walk_result result = write_listing(std::cout, file.reader(), stub, json);
    std::cout << std::flush;
    require_sound(result);
}

void run_verify(const std::string& path, bool json) {
    input_file file(path);
    open_container(file, path);
    // The verdict needs no setting: the walk holds one record at a time.
    class verifier : public progress_observer {
    public:
        using progress_observer::progress_observer;
        keeping keeps(const std::string&) const override { return keeping::nothing; }
    } observer(walk_progress());
    SettingsMap settings;
    const walk_result result = walk_container(file.reader(), settings, observer);
    write_verdict(std::cout, result, observer.records, json);
    std::cout << std::flush;
    require_sound(result);
}

void run_extract(const std::string& path, const std::string& folder_text, bool json, bool force) {
    input_file file(path);
    open_container(file, path);
    const fs::path folder = native_path(folder_text);
    // The container's records are checked, and every place a file goes to,
    // before anything is written; the file data is checked as it is written.
    text_reading reading;
    {
        planning_observer plan;
        SettingsMap settings;
        walk_result checked = walk_container(file.reader(), settings, plan);
        if (checked.end == walk_end::bad_file_name) throw tool_error("cannot extract: " + checked.reason);
        require_sound(checked);
        std::error_code ec;
        if (fs::exists(folder, ec) && !fs::is_directory(folder, ec))
            throw tool_error("cannot extract into " + folder_text + ": it is not a folder");
        // Files of another product's run, or the user's own, are not
        // mixed with these without a word.
        if (!force && fs::is_directory(folder, ec) && !fs::is_empty(folder, ec))
            throw tool_error("cannot extract into " + folder_text + ": it is not empty (--force writes into it, "
                             "replacing files of the same names)");
        reading.code_page = code_page_of(settings);
        check_targets(folder, output_names(plan.file_names, reading));
    }

    std::error_code ec;
    bool created = false;
    if (!fs::exists(folder, ec)) {
        created = fs::create_directories(folder, ec);
        if (ec) throw tool_error("cannot create " + folder_text + ": " + ec.message());
    }
    // A folder made here goes again when nothing ends up in it.
    struct remove_if_created {
        const fs::path& folder;
        bool& created;
        ~remove_if_created() {
            std::error_code ignored;
            if (created) fs::remove(folder, ignored);
        }
    } cleanup{folder, created};

    SettingsMap settings;
    {
        folder_extraction observer(folder, reading, walk_progress());
        walk_result result = walk_container(file.reader(), settings, observer);
        // The file changed since the first walk.
        require_sound(result);
        observer.commit();
    }
    created = false;
    write_settings(std::cout, settings, json);
}

}  // namespace trevan::pack
