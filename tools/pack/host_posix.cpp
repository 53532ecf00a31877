#include "tools/pack/host.h"

#include <unistd.h>

#include <cstring>

namespace trevan::pack {

bool stderr_is_terminal() { return isatty(STDERR_FILENO) != 0; }

std::string open_error_text(unsigned long code) { return std::strerror(static_cast<int>(code)); }

}  // namespace trevan::pack
