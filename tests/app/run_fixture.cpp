#include "tests/app/run_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

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

const char progress_window_class[] = "TrevanProgress";

std::string ProgramRun::padded_standin(std::uint32_t size) const {
    const fs::path dir = fs::path(dir_).parent_path() / "shared";
    const std::string path = (dir / ("standin-" + std::to_string(size) + ".exe")).string();
    if (fs::exists(path) && fs::file_size(path) == size && fs::last_write_time(path) > fs::last_write_time(standin_path()))
        return path;
    fs::create_directories(dir);
    const std::string image = read_file(standin_path());
    // Pseudo-random blocks, each numbered, so that no file system or cache
    // gets the bytes cheaply.
    std::string block(1 << 20, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : block) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    std::ofstream out(path + ".tmp", std::ios::binary | std::ios::trunc);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    for (std::uint32_t left = size - static_cast<std::uint32_t>(image.size()), n = 0; left > 0; ++n) {
        std::memcpy(&block[0], &n, sizeof n);
        const std::uint32_t part = std::min<std::uint32_t>(left, static_cast<std::uint32_t>(block.size()));
        out.write(block.data(), part);
        left -= part;
    }
    out.close();
    if (!out) throw std::runtime_error("cannot write " + path);
    fs::rename(path + ".tmp", path);
    return path;
}

void language_sources::clear() {
    run_wine({"reg", "delete", uninstall, "/f", "/reg:64"});
    run_wine({"reg", "delete", "HKCU\\SOFTWARE\\Marrowgate", "/f"});
}

void language_sources::set(const char* key, const char* name, const std::string& value) {
    ASSERT_EQ(run_wine({"reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f", "/reg:64"}), 0);
}

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

run_result ProgramRun::run_through_progress(const std::string& program, run_options o,
                                           const std::string& screenshot_png) const {
    o.watch.cls = progress_window_class;
    if (screenshot_png.empty()) return run_program(program, o);
    o.watch.seen = dir_ + "/window-seen";
    o.watch.go = dir_ + "/window-go";
    fs::remove(o.watch.seen);
    fs::remove(o.watch.go);
    program_run running(program, o);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::string seen;
    while ((seen = read_file(o.watch.seen)).find('\n') == std::string::npos &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    int left = 0, top = 0, right = 0, bottom = 0;
    std::istringstream rect(seen);
    if (rect >> left >> top >> right >> bottom)
        take_screenshot(screenshot_png, left, top, right, bottom);
    else
        ADD_FAILURE() << "no progress window showed within 60 s";
    write_file(o.watch.go, "");
    return running.wait();
}

std::vector<std::string> ProgramRun::work_folders_left() const {
    std::vector<std::string> folders;
    for (const auto& entry : fs::directory_iterator(temp_))
        if (entry.path().filename().string().rfind("VORBELQ", 0) == 0)
            folders.push_back(entry.path().filename().string());
    return folders;
}

}  // namespace trevan::harness
