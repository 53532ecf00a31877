#include "container/anchor.h"

#include <cstring>
#include <limits>

#include "container/format.h"

namespace trevan {
namespace {

std::uint32_t u16_at(const unsigned char* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t u32_at(const unsigned char* p) { return u16_at(p) | u16_at(p + 2) << 16; }

// Reads at absolute offsets of a file of known size. Every read is checked
// against the size first, so nothing beyond the end is ever asked for; the
// reader's relative moves are made in steps it can take.
class offset_reader {
public:
    offset_reader(archive_reader& in, std::uint32_t size, std::uint32_t position)
        : in_(in), size_(size), position_(position) {}

    std::uint32_t size() const { return size_; }

    // False when [offset, offset + length) is not inside the file, or a move
    // or the read fails.
    bool read_at(std::uint64_t offset, void* destination, std::uint32_t length) {
        if (offset > size_ || length > size_ - offset) return false;
        if (!seek(static_cast<std::uint32_t>(offset)) || !in_.read(destination, length)) return false;
        position_ = static_cast<std::uint32_t>(offset) + length;
        return true;
    }

    bool seek(std::uint32_t target) {
        // At most two steps: positions are below 2^32, steps up to 2^31 - 1.
        for (int step = 0; step < 3 && position_ != target; ++step) {
            const std::int64_t wanted = std::int64_t(target) - position_;
            const std::int32_t distance =
                wanted > std::numeric_limits<std::int32_t>::max()   ? std::numeric_limits<std::int32_t>::max()
                : wanted < std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::min()
                                                                     : static_cast<std::int32_t>(wanted);
            std::optional<std::uint32_t> at = in_.move(distance);
            if (!at || *at != std::int64_t(position_) + distance) return false;
            position_ = *at;
        }
        return position_ == target;
    }

private:
    archive_reader& in_;
    std::uint32_t size_;
    std::uint32_t position_;
};

pe_headers problem(pe_headers::kind kind, std::string what) {
    pe_headers h;
    h.type = kind;
    h.problem = std::move(what);
    return h;
}

pe_headers read_headers(offset_reader& file) {
    using kind = pe_headers::kind;
    unsigned char dos[64];
    if (file.size() < 2) return {};
    if (!file.read_at(0, dos, 2)) return problem(kind::unreadable, "its first bytes cannot be read");
    if (dos[0] != 'M' || dos[1] != 'Z') return {};
    if (file.size() < sizeof dos) return problem(kind::no_pe_header, "the file is too short for a DOS header");
    if (!file.read_at(0, dos, sizeof dos)) return problem(kind::unreadable, "its DOS header cannot be read");

    // The PE signature and the file header: 4 + 20 bytes at e_lfanew.
    const std::uint64_t pe = u32_at(dos + 0x3C);
    unsigned char head[24];
    if (pe + sizeof head > file.size())
        return problem(kind::no_pe_header, "e_lfanew (" + std::to_string(pe) + ") points outside the file");
    if (!file.read_at(pe, head, sizeof head)) return problem(kind::unreadable, "its PE header cannot be read");
    if (std::memcmp(head, "PE\0\0", 4) != 0)
        return problem(kind::no_pe_header, "no PE signature at offset " + std::to_string(pe));

    const std::uint32_t optional_size = u16_at(head + 20);
    const std::uint64_t optional_at = pe + sizeof head;
    if (optional_size < 2 || optional_at + optional_size > file.size())
        return problem(kind::damaged, "the optional header (" + std::to_string(optional_size) + " bytes at offset " +
                                          std::to_string(optional_at) + ") does not fit in the file");
    // Enough for PE32+: the directory count at 108, the directories from
    // 112, the security directory (the fifth) at 144.
    unsigned char optional[152] = {};
    const std::uint32_t wanted = optional_size < sizeof optional ? optional_size : sizeof optional;
    if (!file.read_at(optional_at, optional, wanted))
        return problem(kind::unreadable, "its optional header cannot be read");
    const std::uint32_t magic = u16_at(optional);
    const std::uint32_t count_at = magic == 0x20b ? 108 : magic == 0x10b ? 92 : 0;
    if (count_at == 0) return problem(kind::unknown_optional, "unknown optional header magic " + std::to_string(magic));

    pe_headers h;
    h.type = kind::pe;
    const std::uint32_t security_at = count_at + 4 + 4 * 8;
    // A directory outside the optional header, or beyond the count it
    // declares, does not exist.
    if (optional_size < security_at + 8 || u32_at(optional + count_at) <= 4) return h;
    h.certificate_offset = u32_at(optional + security_at);
    h.certificate_size = u32_at(optional + security_at + 4);
    return h;
}

// Whether the 22 marker bytes stand 20 bytes before end (the marker window of
// a tail chunk ending there), inside the searched part of the file.
bool marker_ends_chunk_at(offset_reader& file, std::uint32_t end, bool& read_failed) {
    const std::uint32_t chunk = static_cast<std::uint32_t>(format::tail_marker.size()) + format::trailer_size;
    if (end < chunk || end - chunk < format::min_marker_offset) return false;
    char window[format::tail_marker.size()];
    if (!file.read_at(end - chunk, window, sizeof window)) {
        read_failed = true;
        return false;
    }
    return std::memcmp(window, format::tail_marker.data(), sizeof window) == 0;
}

anchor refused(std::string reason) {
    anchor a;
    a.reason = std::move(reason);
    return a;
}

}  // namespace

pe_headers read_pe_headers(archive_reader& in, std::uint32_t file_size) {
    std::optional<std::uint32_t> at = in.move(0);
    if (!at) return problem(pe_headers::kind::unreadable, "the file position cannot be read");
    offset_reader file(in, file_size, *at);
    return read_headers(file);
}

anchor find_anchor(archive_reader& in) {
    std::optional<std::uint32_t> size = in.move_to_end();
    if (!size) return refused("the file is too large for 32-bit positions");
    offset_reader file(in, *size, *size);
    const pe_headers headers = read_headers(file);
    switch (headers.type) {
    case pe_headers::kind::not_executable:
    case pe_headers::kind::pe: break;
    default: return refused("the file begins with \"MZ\" but its PE headers are damaged: " + headers.problem);
    }

    const std::uint64_t table = headers.certificate_offset;
    const std::uint64_t table_end = table + headers.certificate_size;
    bool read_failed = false;
    if (table == 0 && table_end == 0) {
        if (marker_ends_chunk_at(file, *size, read_failed) && file.seek(*size)) {
            anchor a;
            a.found = true;
            a.end = *size;
            return a;
        }
        if (read_failed) return refused("the end of the file cannot be read");
        return refused("no container: no tail chunk \"" + std::string(format::tail_marker) +
                       "\" ends at the end of the file (offset " + std::to_string(*size) + ")");
    }
    const std::string where = "its security directory (certificate table at offset " + std::to_string(table) +
                              ", " + std::to_string(headers.certificate_size) + " bytes, ending at " +
                              std::to_string(table_end) + ")";
    if (table == 0 || headers.certificate_size == 0) return refused(where + " is malformed");
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
        if (marker_ends_chunk_at(file, end, read_failed) && file.seek(end)) {
            anchor a;
            a.found = true;
            a.end = end;
            return a;
        }
        if (read_failed) return refused("the bytes before the certificate table cannot be read");
    }
    return refused("no container: no tail chunk \"" + std::string(format::tail_marker) +
                   "\" ends where the certificate table begins (offset " + std::to_string(table) + ") or behind up to " +
                   std::to_string(max_certificate_padding) + " zero bytes before it");
}

}  // namespace trevan
