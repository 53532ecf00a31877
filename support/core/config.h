#pragma once

// The runtime configuration, strings 2001 and 2002, in one process-wide
// record filled once at start-up; the loading throws what its loader throws.

#include <string>

namespace vennic {
namespace config {

// The runtime configuration, filled once at start-up (on Windows from the
// program's string table: support/platform/config.h).
struct record {
    std::wstring maker_short_name;  // string 2001
    std::wstring product_name;      // string 2002
};

// The process-wide record; empty until load_names() has filled it.
const record& current();

// Reads the string with the given id from a string table (table is the
// loader's own: on Windows the module); throws when the string is missing.
using string_loader = std::wstring (*)(unsigned id, const void* table);

// Loads string 2001 into maker_short_name, then 2002 into product_name.
// Throws what load throws; what was loaded before a failure stays in the
// record.
void load_names(string_loader load, const void* table);

}  // namespace config
}  // namespace vennic
