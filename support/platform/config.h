#pragma once

// The runtime configuration (support/core/config.h) from the program's own
// module: its string table and its file name.

#include <windows.h>

#include <string>

#include "support/core/config.h"

namespace vennic {

// String resource id from module, as LoadStringW gives it into 260
// characters: at most 259 arrive. Throws vennic::exception
// "resource string <id> is not found" when it is missing or empty.
std::wstring load_resource_string(unsigned id, HMODULE module);

namespace config {

// Loads the names from the module's string table (config::load_names with
// load_resource_string), then calls init(module). Throws what those throw;
// what was loaded before a failure stays in the record.
void start(HMODULE module);

// Checks that the module's file name and the common application-data folder
// can be determined; throws vennic::exception_w when one cannot.
void init(HMODULE module);

}  // namespace config
}  // namespace vennic
