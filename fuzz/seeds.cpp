// Writes the seed corpora of the fuzz targets into a folder:
//   fuzz_seeds DIR   ->  DIR/walk, DIR/anchor, DIR/expand, DIR/command_line,
//                        DIR/stub_identity, DIR/icon_file
// Containers come from the container writer, which the pack tool builds
// with: the shipped layout, signed-like layouts, hostile lengths, names that
// are not bare. Stubs are PE images with the resources branding writes and
// a certificate table shaped like an Authenticode signature. Existing files
// are replaced; other files stay.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "container/anchor.h"
#include "container/format.h"
#include "container/writer.h"
#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"
#include "tests/pe/pe_fixtures.h"
#include "tools/pe/string_table.h"
#include "tools/pe/version_info.h"

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
    // The most padding signing leaves.
    out.push_back(fixtures::with_certificate_table(out.front(), max_certificate_padding, std::string(64, 'C')));
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

// A DER element: tag, definite length, contents.
std::string der(unsigned char tag, const std::string& contents) {
    std::string out(1, static_cast<char>(tag));
    const std::size_t n = contents.size();
    if (n < 0x80) out += static_cast<char>(n);
    else if (n < 0x100) out += std::string{'\x81', static_cast<char>(n)};
    else out += std::string{'\x82', static_cast<char>(n >> 8), static_cast<char>(n & 0xFF)};
    return out + contents;
}

std::string name_der(const std::string& common_name, const std::string& organisation) {
    auto attribute = [](const char* oid, unsigned char type, const std::string& text) {
        return der(0x31, der(0x30, der(0x06, oid) + der(type, text)));
    };
    return der(0x30, attribute("\x55\x04\x0A", 0x13, organisation) + attribute("\x55\x04\x03", 0x0C, common_name));
}

// A WIN_CERTIFICATE holding a SignedData of Authenticode's shape: two
// certificates and one signer, named by issuer and serial number. Nothing
// in it would verify; only its structure matters here.
std::string certificate_table() {
    const std::string algorithm = der(0x30, der(0x06, "\x2A\x86\x48\x86\xF7\x0D\x01\x01\x0B") + der(0x05, ""));
    const std::string issuer = name_der("Seed Root", "Seed");
    auto certificate = [&](const std::string& serial, const std::string& subject) {
        const std::string tbs = der(0xA0, der(0x02, "\x02")) + der(0x02, serial) + algorithm + issuer +
                                der(0x30, der(0x17, "250101000000Z") + der(0x17, "350101000000Z")) + subject +
                                der(0x30, algorithm + der(0x03, std::string("\0key", 4)));
        return der(0x30, der(0x30, tbs) + algorithm + der(0x03, std::string("\0sig", 4)));
    };
    const std::string certificates =
        certificate("\x07", name_der("Other, Signer", "Seed")) + certificate("\x2A", name_der("Seed Signer", "Amberlyn"));
    const std::string signer_info = der(0x30, der(0x02, "\x01") + der(0x30, issuer + der(0x02, "\x2A")) + algorithm +
                                              algorithm + der(0x04, "signature"));
    const std::string signed_data = der(0x30, der(0x02, "\x01") + der(0x31, algorithm) +
                                                  der(0x30, der(0x06, "\x2B\x06\x01\x04\x01\x82\x37\x02\x01\x04")) +
                                                  der(0xA0, certificates) + der(0x31, signer_info));
    std::string content = der(0x30, der(0x06, "\x2A\x86\x48\x86\xF7\x0D\x01\x07\x02") + der(0xA0, signed_data));
    std::string table;
    vennic::append_le32(table, static_cast<std::uint32_t>(8 + content.size()));
    vennic::append_le16(table, 0x0200);
    vennic::append_le16(table, 2);
    table += content;
    table.resize((table.size() + 7) / 8 * 8, '\0');
    return table;
}

// Images with the resources branding writes: the names, a version
// resource, an icon group; one with named entries; one signed.
std::vector<std::string> stubs() {
    pe::resource_tree tree;
    std::vector<std::u16string> strings(pe::strings_per_block);
    strings[pe::string_index_of(2001)] = u"Quillfeather";
    strings[pe::string_index_of(2002)] = u"Amberlyn";
    tree[pe::resource_id::of(pe::rt_string)][pe::resource_id::of(pe::string_block_of(2001))][0x409] = {
        pe::write_string_block(strings), 0};
    pe::version_info info;
    info.set(u"CompanyName", u"Quillfeather");
    info.set(u"InternalName", u"Trevan");
    tree[pe::resource_id::of(pe::rt_version)][pe::resource_id::of(1)][0x409] = {pe::build_version_resource(info), 0};
    tree[pe::resource_id::of(pe::rt_group_icon)][pe::resource_id::of(1)][0x409] = {std::string("\0\0\1\0\1\0", 6), 0};
    std::vector<std::string> out;
    out.push_back(pe::image_of({".text", ".rsrc"}, tree));
    out.push_back(fixtures::with_certificate_table(out.back(), 0, certificate_table()));
    pe::resource_tree named = tree;
    pe::resource_id type{true, 0, u"TYPELIB"};
    named[type][pe::resource_id{true, 0, u"MAIN"}][0] = {"data", 1252};
    out.push_back(pe::image_of({".rsrc", ".data"}, named));
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
    for (const std::string& c : containers()) {
        write(dir / "walk", "seed-" + std::to_string(n), c);
        write(dir / "anchor", "seed-" + std::to_string(n++), c);
    }
    n = 0;
    for (const std::string& stub : stubs()) {
        write(dir / "stub_identity", "seed-" + std::to_string(n), stub);
        write(dir / "anchor", "stub-" + std::to_string(n++), stub);
    }
    const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "rest of a PNG";
    write(dir / "icon_file", "seed-0", pe::icon_file_bytes(1));
    write(dir / "icon_file", "seed-1", pe::icon_file_bytes(3));
    write(dir / "icon_file", "seed-2", pe::icon_file_bytes(2, png));

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
