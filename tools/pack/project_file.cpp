#include "tools/pack/project_file.h"

#include <filesystem>
#include <set>

#include "tools/pack/branding_file.h"
#include "tools/pack/code_page.h"
#include "tools/pack/host.h"
#include "tools/pack/json_file.h"
#include "tools/pack/signing.h"
#include "tools/pack/ui_packing.h"

namespace trevan::pack {
namespace {

namespace fs = std::filesystem;
using json = nlohmann::ordered_json;

const char* const known_members =
    "stub, stub_name, files, values, branding, ui_languages, code_page, output, sign_command";
const char* const known_file_members = "setting, stored_name, path";

// Reads the members of one object; every message names the member.
class members {
public:
    members(const std::string& what, const std::string& folder) : what_(what), folder_(folder) {}

    [[noreturn]] void fail(const std::string& member, const std::string& why) const {
        throw tool_error(what_ + ": \"" + member + "\" " + why);
    }

    std::string text(const json& value, const std::string& member) const {
        if (!value.is_string()) fail(member, "must be a string");
        return value.get<std::string>();
    }

    // A path from the project's folder, not empty.
    std::string path(const json& value, const std::string& member) const {
        const fs::path p = native_path(text(value, member));
        if (p.empty()) fail(member, "is empty");
        return (p.is_relative() ? native_path(folder_) / p : p).string();
    }

    // A path that names an existing regular file.
    std::string existing_file(const json& value, const std::string& member) const {
        const std::string p = path(value, member);
        std::error_code ec;
        const fs::file_status status = fs::status(native_path(p), ec);
        if (!fs::exists(status)) fail(member, "names \"" + p + "\", which does not exist");
        if (!fs::is_regular_file(status)) fail(member, "names \"" + p + "\", which is not a regular file");
        return p;
    }

    const std::string& what() const { return what_; }
    const std::string& folder() const { return folder_; }

private:
    std::string what_;
    std::string folder_;
};

record file_entry(const members& m, const json& entry, const std::string& member) {
    if (!entry.is_object()) m.fail(member, "must be an object with setting, path and optionally stored_name");
    std::optional<std::string> setting, stored, path;
    for (const auto& [key, value] : entry.items()) {
        const std::string name = member + "." + key;
        if (key == "setting") setting = m.text(value, name);
        else if (key == "stored_name") stored = m.text(value, name);
        else if (key == "path") path = m.existing_file(value, name);
        else m.fail(name, std::string("is not a member of a file (known: ") + known_file_members + ")");
    }
    if (!setting) m.fail(member + ".setting", "is missing");
    if (!path) m.fail(member + ".path", "is missing");
    if (stored && stored->empty()) m.fail(member + ".stored_name", "is empty");
    return file_record(*setting, stored.value_or(""), *path);
}

// "all", or an array of LCIDs.
std::set<std::uint16_t> ui_languages_member(const members& m, const json& value, const std::string& member) {
    if (value == "all") return all_ui_languages();
    if (!value.is_array()) m.fail(member, "must be \"all\" or an array of LCIDs such as [1031, 1041]");
    std::set<std::uint16_t> languages;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const std::string element = member + "[" + std::to_string(i) + "]";
        if (!value[i].is_number_unsigned()) m.fail(element, "must be an LCID such as 1031");
        languages.insert(table_language(value[i].get<std::uint64_t>(), m.what() + ": \"" + element + "\""));
    }
    return languages;
}

}  // namespace

project parse_project(const std::string& text, const std::string& folder, const std::string& what) {
    const json root = parse_json_object(text, what);
    const members m(what, folder);
    project p;
    p.folder = folder;
    std::vector<record> values;
    std::optional<std::set<std::uint16_t>> ui_languages;
    for (const auto& [key, value] : root.items()) {
        if (key == "stub") {
            p.stub = m.existing_file(value, key);
        } else if (key == "stub_name") {
            p.stub_name = m.text(value, key);
        } else if (key == "files") {
            if (!value.is_array()) m.fail(key, "must be an array of files");
            for (std::size_t i = 0; i < value.size(); ++i)
                p.records.push_back(file_entry(m, value[i], "files[" + std::to_string(i) + "]"));
        } else if (key == "values") {
            if (!value.is_object()) m.fail(key, "must be an object of setting names and texts");
            for (const auto& [name, setting] : value.items())
                values.push_back(value_record(name, m.text(setting, "values." + name)));
        } else if (key == "branding") {
            if (value.is_string()) p.brand = read_branding_file(m.existing_file(value, key));
            else if (value.is_object()) p.brand = parse_branding(value.dump(), folder, what + ": \"branding\"");
            else m.fail(key, "must be a branding file's path or a branding object");
        } else if (key == "ui_languages") {
            ui_languages = ui_languages_member(m, value, key);
        } else if (key == "code_page") {
            std::optional<unsigned> page;
            if (value.is_number_unsigned()) page = ansi_code_page_of(std::to_string(value.get<std::uint64_t>()));
            if (!page) m.fail(key, std::string("must be an ANSI code page: ") + code_page_list());
            p.code_page = page;
        } else if (key == "output") {
            p.output = m.path(value, key);
        } else if (key == "sign_command") {
            p.sign_command = m.text(value, key);
            if (std::optional<std::string> problem = sign_command_problem(*p.sign_command)) m.fail(key, *problem);
        } else {
            throw tool_error(what + ": unknown member \"" + key + "\" (known: " + known_members + ")");
        }
    }
    p.records.insert(p.records.end(), values.begin(), values.end());
    // The member stands beside "branding", which may come after it.
    if (ui_languages) p.brand.ui_texts.languages = *ui_languages;
    return p;
}

project read_project_file(const std::string& path) {
    const std::string what = "project file \"" + path + "\"";
    return parse_project(read_json_file(path, what), folder_of(path), what);
}

}  // namespace trevan::pack
