#include "tools/pack/commands.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "container/file_reader.h"
#include "container/settings.h"
#include "container/walk.h"
#include "tools/pack/build_report.h"
#include "tools/pack/checks.h"
#include "tools/pack/extraction.h"
#include "tools/pack/host.h"
#include "tools/pack/report.h"
#include "tools/pack/setup_kind.h"
#include "tools/pack/signing.h"

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
void open_container(file_reader& reader, const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw tool_error("cannot open " + path + ": it is a folder");
    if (!reader.is_open()) throw tool_error("cannot open " + path + ": " + open_error_text(reader.open_error()));
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
    options.stub_file_name = request.stub_name;
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
    std::vector<written_record> written = build_container(request.stub, request.records, request.output, options);
    if (request.report == report_style::none) return;
    const build_report report = report_of_build(request.output, std::move(written), plan_payload(packed), signing);
    std::cout << (request.report == report_style::json ? build_report_json(report) : build_report_text(report))
              << std::flush;
}

void run_plan(const std::string& path, const plan_request& request, bool json) {
    file_reader reader(path);
    open_container(reader, path);
    SettingsMap settings;
    require_sound(walk_container(reader, settings));
    const container_plan plan = plan_runs(settings, request);
    std::cout << (json ? plan_json(plan) : plan_text(plan)) << std::flush;
}

void run_list(const std::string& path, bool json) {
    file_reader reader(path);
    open_container(reader, path);
    recording_observer observer;
    SettingsMap settings;
    walk_result result = walk_container(reader, settings, observer);
    observer.report.result = result;
    if (const auto kind = settings.find("kind"); kind != settings.end()) observer.report.kind = kind->second;
    observer.report.stub = read_stub_identity(path);
    std::cout << (json ? report_json(observer.report) : report_text(observer.report)) << std::flush;
    require_sound(result);
}

void run_verify(const std::string& path) {
    file_reader reader(path);
    open_container(reader, path);
    recording_observer observer(walk_progress());
    SettingsMap settings;
    walk_result result = walk_container(reader, settings, observer);
    require_sound(result);
    std::printf("ok: %u chunks, %zu records\n", result.chunks, observer.report.records.size());
}

void run_extract(const std::string& path, const std::string& folder, bool json) {
    file_reader reader(path);
    open_container(reader, path);
    // The container's records are checked, and every place a file goes to,
    // before anything is written; the file data is checked as it is written.
    {
        planning_observer plan;
        SettingsMap ignored;
        walk_result checked = walk_container(reader, ignored, plan);
        if (checked.end == walk_end::bad_file_name) throw tool_error("cannot extract: " + checked.reason);
        require_sound(checked);
        std::error_code ec;
        if (fs::exists(folder, ec) && !fs::is_directory(folder, ec))
            throw tool_error("cannot extract into " + folder + ": it is not a folder");
        check_targets(folder, plan.file_names);
    }

    std::error_code ec;
    bool created = false;
    if (!fs::exists(folder, ec)) {
        created = fs::create_directories(folder, ec);
        if (ec) throw tool_error("cannot create " + folder + ": " + ec.message());
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
    {
        folder_extraction observer(folder, walk_progress());
        walk_result result = walk_container(reader, settings, observer);
        // The file changed since the first walk.
        require_sound(result);
        observer.commit();
    }
    created = false;
    std::cout << (json ? settings_json(settings) : settings_text(settings));
}

}  // namespace trevan::pack
