#include "tools/pack/build_report.h"

#include <cstdio>

#include "tools/pack/host.h"
#include "tools/pack/json_writer.h"
#include "tools/pack/plan.h"
#include "tools/pack/sha256.h"
#include "tools/pack/shown_text.h"
#include "tools/pack/stdio_file.h"
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
                             bool signed_by_command, std::optional<unsigned> code_page) {
    build_report report;
    report.code_page = code_page;
    report.output = output;
    report.signed_by_command = signed_by_command;
    report.records = std::move(records);
    report.plan = std::move(plan);
    const stdio_file in(open_file(output, "rb"));
    if (!in) throw tool_error("cannot read " + quoted_utf8(output) + " back for the report");
    sha256_digest digest;
    std::vector<char> buffer(1u << 20);
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0;) {
        digest.update(buffer.data(), n);
        report.size += n;
    }
    if (std::ferror(in.get())) throw tool_error("cannot read " + quoted_utf8(output) + " back for the report");
    report.sha256 = digest.digest();
    report.stub = read_stub_identity(output);
    return report;
}

void write_build_report_json(std::ostream& out, const build_report& r) {
    const text_reading reading{r.code_page};
    json records = json::array();
    for (const written_record& w : r.records) {
        json record = {{"kind", kind_text(w.kind)}};
        if (w.kind != record_kind::stub) record["setting"] = reading.utf8(w.name);
        if (w.kind == record_kind::value) record["value"] = reading.utf8(w.text);
        else record["stored_name"] = reading.utf8(w.stored_name);
        record["size"] = w.size;
        record["md5"] = pe::hex_text(w.md5);
        records.push_back(std::move(record));
    }
    json plans = nullptr;
    for (const planned_command& c : r.plan.commands) plans[c.architecture] = reading.utf8(c.command_line);
    write_json(out, {{"output", r.output},
                     {"size", r.size},
                     {"sha256", pe::hex_text(r.sha256)},
                     {"signed_by_command", r.signed_by_command},
                     {"records", records},
                     {"stub", identity_json(r.stub)},
                     {"kind", r.plan.kind ? json(reading.utf8(*r.plan.kind)) : json(nullptr)},
                     {"code_page", r.code_page ? json(*r.code_page) : json(nullptr)},
                     {"plans", plans}});
}

std::string build_report_text(const build_report& r) {
    const text_reading reading{r.code_page};
    std::string out = "wrote " + quoted_utf8(r.output) + ": " + std::to_string(r.size) + " bytes, sha256 " +
                      pe::hex_text(r.sha256) + "\n";
    for (const written_record& w : r.records) {
        char line[64];
        std::snprintf(line, sizeof line, "  %-5s  ", kind_text(w.kind));
        out += line;
        if (w.kind == record_kind::file) out += reading.line(w.name) + " = " + reading.line(w.stored_name);
        else if (w.kind == record_kind::value) out += reading.line(w.name) + " = " + reading.line(w.text);
        else out += reading.line(w.stored_name);
        out += " (" + std::to_string(w.size) + " bytes, md5 " + pe::hex_text(w.md5) + ")\n";
    }
    if (r.plan.kind) out += "  kind   " + reading.line(*r.plan.kind) + "\n";
    if (r.code_page) out += "  code page " + std::to_string(*r.code_page) + "\n";
    for (const planned_command& c : r.plan.commands)
        out += "  runs on " + c.architecture + ": " + reading.line(c.command_line) + "\n";
    if (r.signed_by_command)
        out += "  signed by the signing command and verified after it; signer " +
               (r.stub.signer ? quoted_utf8(*r.stub.signer) : std::string("(cannot be read)")) + "\n";
    return out;
}

}  // namespace trevan::pack
