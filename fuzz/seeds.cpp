// Writes the seed corpora of the fuzz targets into a folder:
//   fuzz_seeds DIR   ->  DIR/walk, DIR/expand, DIR/command_line
// Containers come from the container writer, which the pack tool builds
// with: the shipped layout, signed-like layouts, hostile lengths, names that
// are not bare. Existing files are replaced; other files stay.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "container/format.h"
#include "container/writer.h"
#include "tests/container/container_fixtures.h"

namespace fs = std::filesystem;
using namespace trevan;

namespace {

void write(const fs::path& folder, const std::string& name, const std::string& data) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary) << data;
}

std::string joined(const std::vector<std::string>& pieces) {
    std::string out;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i) out += '\0';
        out += pieces[i];
    }
    return out;
}

std::vector<std::string> containers() {
    const std::string image = fixtures::minimal_pe(512);
    std::vector<std::string> out;
    out.push_back(fixtures::sample_container(image, "setup32", "setup64"));
    out.push_back(fixtures::with_certificate_table(out.back(), 3, std::string(64, 'C')));
    {
        std::string hidden = fixtures::sample_container(fixtures::minimal_pe(512), "h32", "h64");
        out.push_back(fixtures::with_certificate_table(out.front(), 0, std::string(8, 'C') + hidden));
    }
    out.push_back(fixtures::sample_container(fixtures::pseudo_random_bytes(200, 1), "a", "b"));
    {
        std::string c;
        append_stub(c, image, "Trevan.exe");
        append_value_record(c, "a", "1");
        append_raw_chunk(c, "", 0xFFFFFFFFu, md5_of(""));
        append_tail(c);
        out.push_back(c);
    }
    for (const char* name : {"..\\x", "a/../../x", "CON", "x."}) {
        std::string c;
        append_stub(c, image, "Trevan.exe");
        append_file_record(c, "installer64", name, "planted");
        append_tail(c);
        out.push_back(c);
    }
    {
        std::string c;
        append_stub(c, image, "Trevan.exe");
        append_chunk(c, "n");
        append_chunk(c, "other");
        append_chunk(c, std::string(format::tail_marker));
        append_file_record(c, "", "empty.exe", "");
        append_value_record(c, "", "");
        append_tail(c);
        out.push_back(c);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path dir = argv[1];
    int n = 0;
    for (const std::string& c : containers()) write(dir / "walk", "seed-" + std::to_string(n++), c);

    const std::vector<std::vector<std::string>> expansions = {
        {"%installer64%", "installer64", "VorbelquintSetup_x64.exe", "executable64", "%installer64%"},
        {"/V\"INSTALLDIR=%source%\" %%x%% %a", "source", "C:\\T\\VORBELQ1", "x", "y"},
        {"%a%", "a", "%b%%b%", "b", "%c%%c%", "c", "%a%"},
        {"%%%a%%%", "a", "%", "%", "a"},
    };
    n = 0;
    for (const auto& e : expansions) write(dir / "expand", "seed-" + std::to_string(n++), joined(e));

    const std::vector<std::vector<std::string>> lines = {
        {"", "/V\"USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"", "ON"},
        {"/S /Q", "/V\"A=1\"", "ON"},
        {"/S /v\"USER_PARTNER_IDENTITY=7 OTHER=1\" /X", "/V\"USER_PARTNER_IDENTITY=5\"", "OFF"},
        {"/vX=1", "/VY=2", "ON"},
        {"/V\"A=\\\"x y\\\" B=1\" /Q", "VIRGIN=1 /V\"\"", "ON"},
        {"/Vabc /Vdef", "", ""},
        {"/V\"unclosed", "/V", "ON"},
        {"/s /V\"P=\\\"a b\\\"\" /x", "/norestart", "ON", "msi"},
        {"/D=C:\\Program Files\\x /S \"/D=C:\\a b\"", "/D=C:\\y", "", "nsis"},
        {"\"/S\" /DIR=\"C:\\x\"", "/SP-", "ON", "inno"},
        {"/s \\\"/S", "", "ON", "burn"},
        {"/S /V\"X=1\"", "-x", "ON", "plain"},
    };
    n = 0;
    for (const auto& l : lines) write(dir / "command_line", "seed-" + std::to_string(n++), joined(l));
    return 0;
}
