#include "container/anchor.h"

#include <cstring>

#include "container/format.h"
#include "container/pe_header.h"

namespace trevan {
namespace {

enum class marker { found, absent, unreadable };

// Whether the 22 marker bytes stand 20 bytes before end (the marker window of
// a tail chunk ending there), inside the searched part of the file.
marker marker_ending_chunk_at(offset_reader& file, std::uint32_t end) {
    const std::uint32_t chunk = static_cast<std::uint32_t>(format::tail_marker.size()) + format::trailer_size;
    if (end < chunk || end - chunk < format::min_marker_offset) return marker::absent;
    char window[format::tail_marker.size()];
    if (!file.read_at(end - chunk, window, sizeof window)) return marker::unreadable;
    return std::memcmp(window, format::tail_marker.data(), sizeof window) == 0 ? marker::found : marker::absent;
}

anchor refused(std::string reason) {
    anchor a;
    a.reason = std::move(reason);
    return a;
}

}  // namespace

anchor find_anchor(archive_reader& in) {
    std::optional<std::uint32_t> size = in.move_to_end();
    if (!size) return refused("the file is too large for 32-bit positions");
    offset_reader file(in, *size, *size);
    const pe_headers headers = read_pe_headers(file);
    switch (headers.type) {
    case pe_headers::kind::not_executable:
    case pe_headers::kind::pe: break;
    default: return refused("the file begins with \"MZ\" but its PE headers are damaged: " + headers.problem);
    }

    const pe_directory certificates = headers.directory(certificate_directory);
    const std::uint64_t table = certificates.address;
    const std::uint64_t table_end = table + certificates.size;
    if (table == 0 && table_end == 0) {
        const marker at_end = marker_ending_chunk_at(file, *size);
        if (at_end == marker::found && file.seek(*size)) {
            anchor a;
            a.found = true;
            a.end = *size;
            return a;
        }
        if (at_end == marker::unreadable) return refused("the end of the file cannot be read");
        return refused("no container: no tail chunk \"" + std::string(format::tail_marker) +
                       "\" ends at the end of the file (offset " + std::to_string(*size) + ")");
    }
    const std::string where = "its security directory (certificate table at offset " + std::to_string(table) +
                              ", " + std::to_string(certificates.size) + " bytes, ending at " +
                              std::to_string(table_end) + ")";
    if (table == 0 || certificates.size == 0) return refused(where + " is malformed");
    if (table_end > *size) return refused(where + " points outside the file of " + std::to_string(*size) + " bytes");
    if (table_end < *size)
        return refused(where + " does not reach the end of the file at " + std::to_string(*size));

    // Signing pads the signed bytes with zeros to a multiple of 8; the
    // marker cannot match at two ends less than 8 bytes apart.
    unsigned char before[max_certificate_padding] = {};
    const std::uint32_t room = table < max_certificate_padding ? static_cast<std::uint32_t>(table)
                                                               : max_certificate_padding;
    if (!file.read_at(table - room, before, room)) return refused("the bytes before the certificate table cannot be read");
    for (std::uint32_t padding = 0; padding <= room; ++padding) {
        if (padding > 0 && before[room - padding] != 0) break;
        const std::uint32_t end = static_cast<std::uint32_t>(table) - padding;
        const marker at = marker_ending_chunk_at(file, end);
        if (at == marker::found && file.seek(end)) {
            anchor a;
            a.found = true;
            a.end = end;
            return a;
        }
        if (at == marker::unreadable) return refused("the bytes before the certificate table cannot be read");
    }
    return refused("no container: no tail chunk \"" + std::string(format::tail_marker) +
                   "\" ends where the certificate table begins (offset " + std::to_string(table) + ") or behind up to " +
                   std::to_string(max_certificate_padding) + " zero bytes before it");
}

}  // namespace trevan
