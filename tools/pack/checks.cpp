#include "tools/pack/checks.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "app/dialect.h"
#include "container/expand.h"
#include "container/format.h"
#include "container/printable.h"
#include "tools/pack/tool_error.h"

namespace trevan::pack {

const std::vector<std::string> check_names = {"executable32", "executable64", "parameters", "msilog",
                                              "kind",         "allowed_options", "stub"};

namespace {

namespace fs = std::filesystem;

// Stubs are well below a MiB; what is larger is no program of ours.
constexpr std::uintmax_t max_stub_read = 256u << 20;

[[noreturn]] void fail(const std::string& name, const std::string& what) {
    throw tool_error(name + ": " + what + " (--no-check " + name + " packs it all the same)");
}

void check_references(const std::string& name, const SettingsMap& settings) {
    const auto it = settings.find(name);
    if (it == settings.end()) return;
    const std::vector<std::string> unknown = unknown_references(it->second, settings);
    if (!unknown.empty())
        fail(name, quoted_text(it->second) + " refers to %" + unknown.front() + "%, which is no setting");
}

void check_executable(const std::string& name, const SettingsMap& settings, const std::vector<record>& records) {
    const auto it = settings.find(name);
    if (it == settings.end() || it->second.empty())
        fail(name, std::string("is missing: it names the setup program started on ") +
                       (name == "executable64" ? "64" : "32") + "-bit Windows");
    check_references(name, settings);
    const std::optional<std::string> expanded = expand_references(it->second, settings);
    if (!expanded)
        fail(name, quoted_text(it->second) + " expands to more than " + std::to_string(max_command_line_length) +
                       " characters, the longest command line of Windows");
    const std::string& file = *expanded;
    const bool named = std::any_of(records.begin(), records.end(), [&](const record& r) {
        return r.type == record::kind::file && stored_name_of(r) == file;
    });
    if (!named) fail(name, quoted_text(it->second) + " names " + quoted_text(file) + ", which is no file record");
}

// A Trevan program holds the tag of the tail chunk it looks for at the end
// of its file; branding leaves the code alone, so every branded program
// holds it too.
void check_stub(const std::string& stub_path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(stub_path, ec);
    std::string image;
    if (!ec && size <= max_stub_read) {
        image.resize(static_cast<std::size_t>(size));
        std::ifstream in(stub_path, std::ios::binary);
        in.read(image.data(), static_cast<std::streamsize>(image.size()));
        if (!in) image.clear();
    }
    if (image.find(format::tail_marker) == std::string::npos)
        fail("stub", quoted_text(stub_path) + " is not a Trevan program: it does not hold the tag of the container's "
                     "tail, \"" + std::string(format::tail_marker) + "\"");
}

}  // namespace

void check_inputs(const std::string& stub_path, const std::vector<record>& records,
                  const std::set<std::string>& skipped) {
    const SettingsMap settings = settings_of(records);
    auto on = [&](const char* name) { return skipped.count(name) == 0; };
    if (on("stub")) check_stub(stub_path);
    for (const char* name : {"executable32", "executable64"})
        if (on(name)) check_executable(name, settings, records);
    if (on("parameters")) {
        check_references("parameters", settings);
        const auto it = settings.find("parameters");
        if (it != settings.end() && !expand_references(it->second, settings))
            fail("parameters", "expands to more than " + std::to_string(max_command_line_length) +
                                   " characters, the longest command line of Windows");
    }
    if (on("msilog")) {
        const auto it = settings.find("msilog");
        if (it != settings.end() && it->second != "ON")
            fail("msilog", quoted_text(it->second) + " is not \"ON\", the one value that turns the MSI log on");
    }
    if (on("kind")) {
        const auto it = settings.find("kind");
        if (it != settings.end() && !kind_of_setting(it->second))
            fail("kind", quoted_text(it->second) + " is not a kind the program knows (msi, nsis, inno, burn, plain)");
    }
    if (on("allowed_options")) {
        const auto it = settings.find("allowed_options");
        if (it != settings.end()) {
            for (const std::string& name : allowed_option_names(it->second))
                if (!is_refusable_option(name))
                    fail("allowed_options", quoted_text(name) + " is not an option a kind refuses (msi: /i /a /j /x /f "
                                            "/p /y /z /t /l /v /@ /embedding /regserver u m PATCH TRANSFORMS "
                                            "MSIPATCHREMOVE; inno: /LOG /LOADINF /SAVEINF /SL5 /SPAWNWND /NOTIFYWND "
                                            "/DEBUGWND /DEBUGSPAWNSERVER; burn: /log /layout /burn.)");
        }
    }
}

}  // namespace trevan::pack
