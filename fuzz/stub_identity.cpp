// The pack tool's reading of a stub (tools/pack/stub_identity.h) and the PE
// library's resource reader under it, over any bytes as the whole file.
// Oracles: the identity never reads more bytes than the file holds; a
// resource tree never holds more bytes than its image; and a tree read is
// the tree its own resource section, written anew, reads back as.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "container/reader.h"
#include "tests/container/container_fixtures.h"
#include "tools/pack/stub_identity.h"
#include "tools/pe/pe_image.h"
#include "tools/pe/resource_tree.h"

namespace {

using namespace trevan;

void check(bool condition) {
    if (!condition) std::abort();
}

std::size_t bytes_held(const pe::resource_tree& tree) {
    std::size_t total = 0;
    for (const auto& [type, names] : tree) {
        total += 2 * type.name.size();
        for (const auto& [name, languages] : names) {
            total += 2 * name.name.size();
            for (const auto& [language, data] : languages) total += data.bytes.size();
        }
    }
    return total;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        memory_reader memory(bytes);
        fixtures::watching_reader in(memory);
        const pack::stub_identity id = pack::read_stub_identity(in);
        check(in.bytes_read <= size);
        if (id.signer) check(id.certificate_table);
        check(id.problem.find('\n') == std::string::npos);
    }
    try {
        pe::pe_image image(bytes, "fuzz");
        const pe::resource_tree tree = pe::read_resources(image, "fuzz");
        check(bytes_held(tree) <= size);
        try {
            image.replace_resources([&](std::uint32_t rva) { return pe::write_resources(tree, rva); });
        } catch (const pe::pe_error&) {
            return 0;  // no room for it, or bytes behind the image
        }
        check(pe::read_resources(pe::pe_image(image.bytes(), "again"), "again") == tree);
    } catch (const pe::pe_error&) {
    }
    return 0;
}
