#pragma once

// What `trevan-pack build` reports about the file it wrote (with --json,
// and for every --project run): the output's size and SHA-256, each record
// written with its size and MD5, the stub's identity as `list` shows it,
// the payload's kind and the command line planned for each architecture.
// JSON for pipelines, or a short summary; the container's texts appear as
// in `list`, as the program will read them in the packed code page
// (shown_text.h).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "tools/pack/builder.h"
#include "tools/pack/stub_identity.h"

namespace trevan::pack {

struct planned_command {
    std::string architecture;  // "x86" or "x64"
    std::string command_line;
};

// The payload's kind and what the program would start on each
// architecture; nothing known leaves both empty.
struct payload_plan {
    std::optional<std::string> kind;
    std::vector<planned_command> commands;
};

// The plan for the records of a build (build_report.cpp says where it
// comes from).
payload_plan plan_payload(const std::vector<record>& records);

struct build_report {
    std::string output;
    std::uint64_t size = 0;
    std::string sha256;  // raw 32 bytes
    bool signed_by_command = false;
    std::vector<written_record> records;
    stub_identity stub;
    payload_plan plan;
    // The code page the records' texts are stored in; nothing: ASCII only.
    std::optional<unsigned> code_page;
};

// The report of a build whose output is complete: reads the output back
// for its size, its SHA-256 and the stub's identity. Throws tool_error when
// it cannot be read.
build_report report_of_build(const std::string& output, std::vector<written_record> records, payload_plan plan,
                             bool signed_by_command, std::optional<unsigned> code_page);

void write_build_report_json(std::ostream& out, const build_report& report);
std::string build_report_text(const build_report& report);

}  // namespace trevan::pack
