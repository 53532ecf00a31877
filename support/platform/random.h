#pragma once

// Unpredictable numbers from the system's generator (Windows). The generator
// is bcrypt.dll's, looked up when a number is asked for, from the system
// folder only: the program imports no library for it, so nothing is resolved
// for it before WinMain, where the library search cannot yet be restricted.

#include <cstdint>

#include "support/core/error_or.h"

namespace vennic {

// A number from BCryptGenRandom (the system's preferred generator). Fails
// with the system's code when bcrypt.dll or its function cannot be had, and
// with ERROR_GEN_FAILURE when the generator itself fails.
error_or<std::uint32_t> system_random_number();

}  // namespace vennic
