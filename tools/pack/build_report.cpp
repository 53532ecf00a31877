#include "tools/pack/build_report.h"

#include <cstdio>
#include <fstream>

#include "container/printable.h"
#include "tools/pack/plan.h"
#include "tools/pack/report.h"
#include "tools/pack/sha256.h"
#include "tools/pe/hex.h"

namespace trevan::pack {

payload_plan plan_payload(const std::vector<record>& records) {
    // The one place that asks the payload-kinds library (`trevan-pack
    // plan`, tools/pack/plan.h) for the packed kind and the command line of
    // each architecture, for a run without arguments on its sample machine.
    const container_plan planned = plan_runs(settings_of(records), plan_request());
    payload_plan plan;
    if (!planned.kind.empty()) plan.kind = planned.kind;
    for (const architecture_plan& run : planned.runs)
        if (!run.start.failure && run.start.plan.method != start_method::refuse)
            plan.commands.push_back({run.bits == 64 ? "x64" : "x86", run.start.command_line});
    return plan;
}

build_report report_of_build(const std::string& output, std::vector<written_record> records, payload_plan plan,
                             bool signed_by_command) {
    build_report report;
    report.output = output;
    report.signed_by_command = signed_by_command;
    report.records = std::move(records);
    report.plan = std::move(plan);
    std::ifstream in(output, std::ios::binary);
    if (!in) throw tool_error("cannot read \"" + output + "\" back for the report");
    sha256_digest digest;
    std::vector<char> buffer(1u << 20);
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        digest.update(buffer.data(), static_cast<std::size_t>(in.gcount()));
        report.size += static_cast<std::uint64_t>(in.gcount());
    }
    if (in.bad()) throw tool_error("cannot read \"" + output + "\" back for the report");
    report.sha256 = digest.digest();
    report.stub = read_stub_identity(output);
    return report;
}

std::string build_report_json(const build_report& r) {
    std::string out = "{\n  \"output\": " + json_string(r.output) + ",\n  \"size\": " + std::to_string(r.size) +
                      ",\n  \"sha256\": \"" + pe::hex_text(r.sha256) + "\",\n  \"signed_by_command\": " +
                      (r.signed_by_command ? "true" : "false") + ",\n  \"records\": [";
    for (std::size_t i = 0; i < r.records.size(); ++i) {
        const written_record& w = r.records[i];
        out += i ? ",\n    " : "\n    ";
        out += "{\"kind\": " + json_string(kind_text(w.kind));
        if (w.kind != record_kind::stub) out += ", \"setting\": " + json_string(w.name);
        if (w.kind == record_kind::value) out += ", \"value\": " + json_string(w.text);
        else out += ", \"stored_name\": " + json_string(w.stored_name);
        out += ", \"size\": " + std::to_string(w.size) + ", \"md5\": \"" + pe::hex_text(w.md5) + "\"}";
    }
    out += r.records.empty() ? "]" : "\n  ]";
    out += ",\n  \"stub\": " + identity_json(r.stub);
    out += ",\n  \"kind\": " + (r.plan.kind ? json_string(*r.plan.kind) : std::string("null"));
    out += ",\n  \"plans\": ";
    if (r.plan.commands.empty()) {
        out += "null";
    } else {
        out += "{";
        for (std::size_t i = 0; i < r.plan.commands.size(); ++i)
            out += (i ? ", " : "") + json_string(r.plan.commands[i].architecture) + ": " +
                   json_string(r.plan.commands[i].command_line);
        out += "}";
    }
    return out + "\n}\n";
}

std::string build_report_text(const build_report& r) {
    std::string out = "wrote " + quoted_text(r.output) + ": " + std::to_string(r.size) + " bytes, sha256 " +
                      pe::hex_text(r.sha256) + "\n";
    for (const written_record& w : r.records) {
        char line[64];
        std::snprintf(line, sizeof line, "  %-5s  ", kind_text(w.kind));
        out += line;
        if (w.kind == record_kind::file) out += quoted_text(w.name) + " = " + quoted_text(w.stored_name);
        else if (w.kind == record_kind::value) out += quoted_text(w.name) + " = " + quoted_text(w.text);
        else out += quoted_text(w.stored_name);
        out += " (" + std::to_string(w.size) + " bytes, md5 " + pe::hex_text(w.md5) + ")\n";
    }
    if (r.plan.kind) out += "  kind   " + quoted_text(*r.plan.kind) + "\n";
    for (const planned_command& c : r.plan.commands)
        out += "  runs on " + c.architecture + ": " + quoted_text(c.command_line) + "\n";
    if (r.signed_by_command)
        out += "  signed by the signing command and verified after it; signer " +
               (r.stub.signer ? quoted_text(*r.stub.signer) : std::string("(cannot be read)")) + "\n";
    return out;
}

}  // namespace trevan::pack
