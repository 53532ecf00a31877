#include "tools/pack/host.h"

#include <io.h>

#include <cstdio>

#include "support/platform/system_error_text.h"

namespace trevan::pack {

bool stderr_is_terminal() { return _isatty(_fileno(stderr)) != 0; }

std::string open_error_text(unsigned long code) { return vennic::system_error_text(code); }

}  // namespace trevan::pack
