#pragma once

#include <windows.h>

#include <string>

namespace vennic {

// String resource id from module, as LoadStringW gives it into 260
// characters: at most 259 arrive. Throws vennic::exception
// "resource string <id> is not found" when it is missing or empty.
std::wstring load_resource_string(unsigned id, HMODULE module);

namespace config {

// The runtime configuration, filled once at start-up.
struct record {
    std::wstring maker_short_name;  // string resource 2001
    std::wstring product_name;      // string resource 2002
};

// The process-wide record; empty until start() has filled it.
const record& current();

// Loads resource 2001 into maker_short_name, then 2002 into product_name,
// then calls init(module). Throws what those throw; what was loaded before
// a failure stays in the record.
void start(HMODULE module);

// Checks that the module's file name and the common application-data folder
// can be determined; throws vennic::exception_w when one cannot.
void init(HMODULE module);

}  // namespace config
}  // namespace vennic
