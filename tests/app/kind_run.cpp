#include "tests/app/kind_run.h"

#include <optional>

#include "tools/pack/setup_kind.h"

namespace trevan::harness {

std::string drive_c(const std::string& path) { return wine_prefix() + "/drive_c/" + path; }

std::string registry_value(const std::string& key, const std::string& name) {
    std::string out;
    if (run_wine({"reg", "query", key, "/v", name, "/reg:64"}, &out) != 0) return "";
    const std::string::size_type type = out.find("REG_SZ");
    if (type == std::string::npos) return "";
    std::string value = out.substr(out.find_first_not_of(' ', type + 6));
    return value.substr(0, value.find_first_of("\r\n"));
}

std::string KindRun::packed(const std::string& setup, std::vector<pack::record> values) {
    std::vector<pack::record> records = {
        pack::file_record("installer32", "", setup), pack::file_record("installer64", "", setup),
        pack::value_record("executable32", "%installer32%"), pack::value_record("executable64", "%installer64%")};
    records.insert(records.end(), values.begin(), values.end());
    if (std::optional<pack::record> kind = pack::kind_record(records, std::nullopt)) records.push_back(*kind);
    return build(records);
}

std::string KindRun::log() const { return read_file(temp_ + "/Trevan.log.txt"); }

void KindRun::SetUp() {
    ProgramRun::SetUp();
    remove_installation();
}

void KindRun::TearDown() { remove_installation(); }

}  // namespace trevan::harness
