// Where a container may end (container/anchor.h) over any bytes as the whole
// file, read through the PE header reader. The oracle is the rule written
// again, plainly, over the bytes held in memory: both must find the same
// end or refuse alike. The anchor must also stay a handful of small reads
// whatever the file claims.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "container/anchor.h"
#include "container/format.h"
#include "container/pe_header.h"
#include "container/reader.h"
#include "tests/container/container_fixtures.h"

namespace {

using namespace trevan;

void check(bool condition) {
    if (!condition) std::abort();
}

std::uint32_t u16_at(const std::string& f, std::uint64_t at) {
    return std::uint32_t(static_cast<unsigned char>(f[at])) | std::uint32_t(static_cast<unsigned char>(f[at + 1])) << 8;
}
std::uint32_t u32_at(const std::string& f, std::uint64_t at) { return u16_at(f, at) | u16_at(f, at + 2) << 16; }

// Whether a tail chunk's marker ends 20 bytes before end, where it may stand.
bool marker_ends_at(const std::string& f, std::uint64_t end) {
    const std::uint64_t chunk = format::tail_marker.size() + format::trailer_size;
    return end >= chunk && end - chunk >= format::min_marker_offset &&
           f.compare(end - chunk, format::tail_marker.size(), format::tail_marker.data(), format::tail_marker.size()) == 0;
}

// The anchor rule: where the container must end, or nothing.
std::optional<std::uint64_t> expected_end(const std::string& f) {
    std::uint64_t table = 0, table_size = 0;
    if (f.size() >= 2 && f[0] == 'M' && f[1] == 'Z') {
        if (f.size() < 64) return std::nullopt;
        const std::uint64_t pe = u32_at(f, 0x3C);
        if (pe + 24 > f.size() || f.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return std::nullopt;
        const std::uint64_t optional_size = u16_at(f, pe + 4 + 16);
        const std::uint64_t optional = pe + 24;
        if (optional_size < 2 || optional + optional_size > f.size()) return std::nullopt;
        const std::uint32_t magic = u16_at(f, optional);
        const std::uint64_t count_at = magic == 0x10B ? 92 : magic == 0x20B ? 108 : 0;
        if (count_at == 0) return std::nullopt;
        // The certificate table entry is directory 4 of those the header
        // declares and holds wholly.
        const std::uint64_t entry = count_at + 4 + 4 * 8;
        if (optional_size >= entry + 8 && u32_at(f, optional + count_at) > 4) {
            table = u32_at(f, optional + entry);
            table_size = u32_at(f, optional + entry + 4);
        }
    }
    if (table == 0 && table_size == 0) {
        if (marker_ends_at(f, f.size())) return f.size();
        return std::nullopt;
    }
    if (table == 0 || table_size == 0 || table + table_size != f.size()) return std::nullopt;
    for (std::uint64_t padding = 0; padding <= 7 && padding <= table; ++padding) {
        if (padding > 0 && f[table - padding] != 0) break;
        if (marker_ends_at(f, table - padding)) return table - padding;
    }
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    memory_reader memory(bytes);
    fixtures::watching_reader in(memory);
    const anchor found = find_anchor(in);
    const std::optional<std::uint64_t> expected = expected_end(bytes);
    check(found.found == expected.has_value());
    if (found.found) check(found.end == *expected && memory.position() == found.end);
    else check(!found.reason.empty() && found.reason.find('\n') == std::string::npos);
    // The DOS header, the PE header, the optional header, the padding and
    // eight marker windows at most.
    check(in.bytes_read <= 64 + 2 + 24 + pe_layout::max_optional_read + 7 + 8 * 22);
    return 0;
}
