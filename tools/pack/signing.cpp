#include "tools/pack/signing.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "container/pe_header.h"
#include "container/settings.h"
#include "container/walk.h"
#include "support/core/text.h"
#include "tools/pack/host.h"
#include "tools/pack/temp_file.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;

const std::string in_field = "{in}", out_field = "{out}";

// The private folder of one signing; it and everything in it go when done.
class signing_folder {
public:
    explicit signing_folder(const std::string& output) {
        path_ = create_temp_folder(output + ".trevan-sign-");
        if (path_.empty())
            throw tool_error("cannot sign \"" + output + "\": no folder beside it (" + std::strerror(errno) + ")");
    }
    ~signing_folder() {
        std::error_code ignored;
        fs::remove_all(native_path(path_), ignored);
    }
    signing_folder(const signing_folder&) = delete;
    signing_folder& operator=(const signing_folder&) = delete;

    std::string file(const std::string& name) const { return (native_path(path_) / native_path(name)).string(); }

private:
    std::string path_;
};

// The command's output, as the user's tools wrote it, behind our line.
std::string with_output(const std::string& line, const std::string& output) {
    if (output.empty()) return line;
    return line + "; it printed:\n" + output + (output.back() == '\n' ? "" : "\n") + "(end of its output)";
}

// The program's own check of the signed file, and that it is signed: what
// is wrong with it, behind the command's name; nothing when it passes.
std::optional<std::string> signed_file_problem(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(native_path(path), ec)) return std::string(" left no signed file");
    input_file file(path);
    archive_reader& reader = file.reader();
    if (!file.is_open()) return std::string(": the signed file cannot be read");
    const std::optional<std::uint32_t> size = reader.move_to_end();
    if (!size) return std::string(": the signed file is 4 GiB or more");
    if (!read_pe_headers(reader, *size).is_signed()) return std::string(": the signed file has no certificate table");
    SettingsMap ignored;
    const walk_result walked = walk_container(reader, ignored);
    if (!walked.ok) return ": the signed file fails verification: " + walked.reason;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> sign_command_problem(const std::string& command_template) {
    if (command_template.find(in_field) != std::string::npos) return std::nullopt;
    return "must name the file to sign as {in} (and the signed file as {out}, unless it signs in place)";
}

std::string sign_command_line(const std::string& command_template, const std::string& in, const std::string& out) {
    return vennic::replace_all_copy(vennic::replace_all_copy(command_template, in_field, shell_quoted(in)), out_field,
                                    shell_quoted(out));
}

std::function<void(const std::string&, const std::string&)> signed_placement(const std::string& command_template,
                                                                             const std::string& working_folder) {
    if (std::optional<std::string> problem = sign_command_problem(command_template))
        throw tool_error("the signing command " + *problem);
    return [command_template, working_folder](const std::string& complete, const std::string& output) {
        signing_folder folder(output);
        const std::string name = native_path(output).filename().string();
        const std::string in = folder.file(name), out = folder.file("signed-" + name);
        std::error_code ec;
        fs::rename(native_path(complete), native_path(in), ec);
        if (ec) throw tool_error("cannot sign \"" + output + "\": " + ec.message());

        const std::string line = sign_command_line(command_template, in, out);
        const command_result run = run_shell_command(line, working_folder);
        const std::string what = "the signing command";
        if (!run.started) throw tool_error(what + " could not be started: " + line);
        if (run.exit_code != 0)
            throw tool_error(with_output(what + " failed with exit code " + std::to_string(run.exit_code), run.output));
        const bool in_place = command_template.find(out_field) == std::string::npos;
        if (const std::optional<std::string> problem = signed_file_problem(in_place ? in : out))
            throw tool_error(with_output(what + *problem, run.output));
        fs::rename(native_path(in_place ? in : out), native_path(output), ec);
        if (ec) throw tool_error("cannot write \"" + output + "\": " + ec.message());
    };
}

}  // namespace trevan::pack
