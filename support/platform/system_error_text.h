#pragma once

// The system's message for a Win32 error code in the user's default
// language, without its line end; empty when the system has no text for it.
// Never throws for an unknown code.

#include <string>

namespace vennic {

std::string system_error_text(unsigned long code);

}  // namespace vennic
