// expand_references on any text and settings: the input's first piece is
// the text, then names and values alternate (pieces cut at NUL bytes).
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "container/expand.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> p = trevan::fuzz::pieces(data, size);
    trevan::SettingsMap settings;
    for (std::size_t i = 1; i + 1 < p.size(); i += 2) settings[p[i]] = p[i + 1];
    const trevan::SettingsMap before = settings;
    const std::optional<std::string> expanded = trevan::expand_references(p[0], settings);
    // Looking names up never adds them, a text without "%" stays as it is,
    // and nothing longer than a command line comes out.
    if (settings != before) std::abort();
    if (expanded && expanded->size() > trevan::max_command_line_length) std::abort();
    if (p[0].size() <= trevan::max_command_line_length && p[0].find('%') == std::string::npos && expanded != p[0])
        std::abort();
    // The caller's text is never read for references: as the caller's, the
    // same text comes out as it went in.
    const std::optional<trevan::composed_text> literal =
        trevan::expand_references(trevan::composed_text(p[0], trevan::text_origin::caller), settings);
    if (p[0].size() <= trevan::max_command_line_length && (!literal || literal->text() != p[0])) std::abort();
    return 0;
}
