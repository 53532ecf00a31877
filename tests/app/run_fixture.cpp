#include "tests/app/run_fixture.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace trevan::harness {

const message_box invalid_archive{
    "Invalid Archive!",
    "We are sorry, but your installation / update did not complete due to unexpected download "
    "errors.\r\nPlease download full version of the program"};
const message_box already_running{
    "Already Running",
    "Another installation is already running or in the process of starting up.\nPlease wait "
    "until the other installation has completed before trying again."};

std::string program_path() { return program_dir() + "/Trevan.exe"; }
std::string no2002_program_path() { return win64_dir() + "/tests/app/Trevan-no2002.exe"; }
std::string standin_path() { return win64_dir() + "/tests/app/standin.exe"; }

std::string regex_escape(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        if (std::string("\\.^$|()[]{}*+?").find(c) != std::string::npos) escaped += '\\';
        escaped += c;
    }
    return escaped;
}

std::string standin_record::parameters() const {
    // The shell puts the quoted program path, one blank and the parameters.
    if (command_line.empty() || command_line[0] != '"') return "<unquoted: " + command_line + ">";
    std::string::size_type close = command_line.find('"', 1);
    if (close == std::string::npos || close + 1 >= command_line.size()) return "";
    return command_line.substr(close + 2);
}

std::vector<standin_record> read_standin_records(const std::string& file) {
    std::vector<standin_record> records;
    std::ifstream in(file, std::ios::binary);
    standin_record current;
    for (std::string line; std::getline(in, line);) {
        auto value = [&](const char* key) {
            std::string prefix = std::string(key) + " ";
            return line.rfind(prefix, 0) == 0 ? line.substr(prefix.size()) : std::string();
        };
        if (line.rfind("commandline ", 0) == 0) current.command_line = value("commandline");
        else if (line.rfind("cwd ", 0) == 0) current.cwd = value("cwd");
        else if (line.rfind("path ", 0) == 0) current.path = value("path");
        else if (line == "end") {
            records.push_back(current);
            current = standin_record();
        }
    }
    return records;
}

std::vector<pack::record> sample_values() {
    return {
        pack::value_record("executable32", "%installer32%"),
        pack::value_record("executable64", "%installer64%"),
        pack::value_record("parameters", "/V\"USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\""),
        pack::value_record("msilog", "ON"),
    };
}

std::vector<pack::record> sample_files() {
    return {
        pack::file_record("installer32", "VorbelquintSetup.exe", standin_path()),
        pack::file_record("installer64", "VorbelquintSetup_x64.exe", standin_path()),
    };
}

std::vector<pack::record> sample_records() {
    std::vector<pack::record> records = sample_files();
    for (const pack::record& r : sample_values()) records.push_back(r);
    return records;
}

void ProgramRun::SetUp() {
    dir_ = fresh_test_folder();
    temp_ = dir_ + "/temp";
    fs::create_directories(temp_);
    records_file_ = dir_ + "/standin-records.txt";
}

std::string ProgramRun::build(const std::vector<pack::record>& records, const std::string& stub) {
    std::string output = dir_ + "/Setup.exe";
    pack::build_container(stub.empty() ? program_path() : stub, records, output);
    return output;
}

run_options ProgramRun::options(const std::string& args,
                                const std::map<std::string, std::string>& env) const {
    run_options o;
    o.args = args;
    o.temp_dir = temp_;
    o.env = env;
    o.env["TREVAN_STANDIN_LOG"] = windows_path(records_file_);
    return o;
}

run_result ProgramRun::run(const std::string& program, const std::string& args,
                           const std::map<std::string, std::string>& env) const {
    return run_program(program, options(args, env));
}

std::vector<std::string> ProgramRun::work_folders_left() const {
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(temp_))
        if (entry.path().filename().string().rfind("VORBELQ", 0) == 0)
            folders.push_back(entry.path().filename().string());
    return folders;
}

}  // namespace trevan::harness
