#pragma once

// Where a container may end in a file: only where a code signature of the
// file covers it. Authenticode leaves the certificate table (the PE security
// directory, data directory 4, whose address is a file offset) out of the
// signed bytes, so anything placed in or behind it can be changed without
// breaking the signature. The anchor is therefore fixed, never searched for:
//
// - In a PE file with a certificate table, the table must run to the end of
//   the file, and the tail chunk must end exactly where the table begins or
//   up to 7 zero bytes (alignment padding) before it.
// - In a PE file without one, the tail chunk must end at the end of the file.
// - A file that begins with "MZ" is read as a PE file; when its headers are
//   damaged (an offset or length outside the file, no PE signature, an
//   unknown optional header) or its security directory is malformed (it
//   points outside the file, or the table does not reach the file's end),
//   the file is refused.
// - A file that does not begin with "MZ" is no executable and carries no
//   signature: it is treated like an unsigned PE file, so its container must
//   end at the end of the file. (Tests build containers around such images;
//   the program's own file always begins with "MZ", as Windows starts
//   nothing else.)
//
// The headers are read with the PE header reader (container/pe_header.h),
// through the archive_reader like the walk.

#include <cstdint>
#include <string>

#include "container/reader.h"

namespace trevan {

// Most zero bytes allowed between the tail chunk and the certificate table.
inline constexpr std::uint32_t max_certificate_padding = 7;

struct anchor {
    bool found = false;
    // found: the offset where the tail chunk ends; the position stands there.
    std::uint32_t end = 0;
    // Not found: why, one line (for the pack tool).
    std::string reason;
};

// Finds where the container's tail chunk ends under the rule above: the 22
// marker bytes must stand 20 bytes before that end, at offset
// format::min_marker_offset or later. Makes a handful of moves and small
// reads, whatever the file's size. Throws only std::bad_alloc.
anchor find_anchor(archive_reader& in);

}  // namespace trevan
