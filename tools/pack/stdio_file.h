#pragma once

// Sole owner of a C stream: closed (result ignored) when destroyed. Close it
// explicitly with std::fclose(file.release()) where the result matters.

#include <cstdio>
#include <memory>

namespace trevan::pack {

struct stdio_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using stdio_file = std::unique_ptr<std::FILE, stdio_closer>;

}  // namespace trevan::pack
