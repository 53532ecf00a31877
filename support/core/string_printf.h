#pragma once

// printf-style formatting into a string with the runtime's formatter. The
// buffer starts at 1024 characters and doubles until the text fits. A format
// that no buffer can satisfy (an invalid conversion, a character the runtime
// cannot convert) raises vennic::exception instead of growing without end;
// running out of memory raises std::bad_alloc.

#include <cstdarg>
#include <string>

#include "support/core/printf_check.h"

namespace vennic {

std::string string_printf(const char* format, ...) VENNIC_PRINTF(1, 2);
std::string string_vprintf(const char* format, va_list args);

// The same for wide text ("%s" takes a wide string, "%S" a narrow one, as the
// Windows runtime reads them).
std::wstring wstring_printf(const wchar_t* format, ...);
std::wstring wstring_vprintf(const wchar_t* format, va_list args);

}  // namespace vennic
