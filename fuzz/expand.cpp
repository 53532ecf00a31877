// expand_references on any text and settings: the input's first piece is
// the text, then names and values alternate (pieces cut at NUL bytes).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "container/expand.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> p = trevan::fuzz::pieces(data, size);
    trevan::SettingsMap settings;
    for (std::size_t i = 1; i + 1 < p.size(); i += 2) settings[p[i]] = p[i + 1];
    const trevan::SettingsMap before = settings;
    const std::string expanded = trevan::expand_references(p[0], settings);
    // Looking names up never adds them, and a text without "%" stays as it is.
    if (settings != before) std::abort();
    if (p[0].find('%') == std::string::npos && expanded != p[0]) std::abort();
    return 0;
}
