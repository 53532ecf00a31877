#pragma once

// Bytes as hex digits, for digests and encodings shown as text. Never throws
// but bad_alloc.

#include <string>

namespace trevan::pe {

// Two lowercase hex digits per byte: "d41d8cd9..." for an MD5 digest.
std::string hex_text(const std::string& bytes);

}  // namespace trevan::pe
