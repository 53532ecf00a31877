#pragma once

// The commands of trevan-pack with their inputs as the command line gave
// them. Each prints what it has to show on stdout (progress lines on stderr
// when that is a terminal) and returns on success; otherwise it throws
// tool_error: exit_code::verification_failed when the container is not
// sound, exit_code::bad_input for bad input or an output that cannot be
// written.

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/pack/branding.h"
#include "tools/pack/builder.h"
#include "tools/pack/plan.h"
#include "tools/pack/tool_error.h"

namespace trevan::pack {

// What the report of a build is printed as.
enum class report_style { none, text, json };

struct build_request {
    std::string stub;
    std::string stub_name;  // empty: the stub's own file name
    std::vector<record> records;
    std::string output;
    branding brand;
    std::string sign_command;  // a template (signing.h); empty: not signed
    std::string sign_folder;   // where the signing command runs
    report_style report = report_style::none;
    // --kind: the kind to pack, none for "default"; nothing: detected
    // from the setup programs (setup_kind.h).
    std::optional<setup_kind> kind;
    // --no-check: the checks not made (checks.h).
    std::set<std::string> skipped_checks;
    // --code-page: the ANSI code page the records' texts are stored in
    // (code_page.h); nothing: they must be ASCII.
    std::optional<unsigned> code_page;
};

// `build`: stores the records' texts in the code page (code_page.h),
// decides the kind, checks the inputs (checks.h), writes the container
// (builder.h), signs it when asked (signing.h), and prints its report
// (build_report.h).
void run_build(const build_request& request);
// `plan`: what a run of the packed program would start (plan.h).
void run_plan(const std::string& path, const plan_request& request, bool json);
// `list`: every chunk and record in walk order, and the stub's identity.
void run_list(const std::string& path, bool json);
// `verify`: walks the container as the program does.
void run_verify(const std::string& path, bool json);
// `extract`: the files into folder, all or nothing, then the settings. A
// folder that holds anything already is refused unless force is set.
void run_extract(const std::string& path, const std::string& folder, bool json, bool force);

}  // namespace trevan::pack
