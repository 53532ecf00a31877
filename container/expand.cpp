#include "container/expand.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace trevan {
namespace {

struct expansion_state {
    // Names whose values are being expanded, outermost first. Its size is
    // the depth of the recursion, so the depth limit also bounds the stack.
    std::vector<const std::string*> chain;
    // Values that refer to others several times can multiply without a
    // cycle (a = %b%%b%, b = %c%%c%, ...); this bounds the whole work.
    std::size_t replacements_left = max_reference_replacements;
};

bool in_chain(const expansion_state& state, const std::string& name) {
    return std::any_of(state.chain.begin(), state.chain.end(),
                       [&](const std::string* n) { return *n == name; });
}

// The reference at or behind pos, which stands on a "%": where its name
// starts and the position of its closing "%".
struct reference {
    std::string::size_type start = 0;
    std::string::size_type close = 0;
};

std::optional<reference> reference_at(const std::string& text, std::string::size_type pos) {
    reference r;
    r.start = text.find_first_not_of('%', pos);
    if (r.start == std::string::npos) return std::nullopt;
    r.close = text.find('%', r.start);
    if (r.close == std::string::npos) return std::nullopt;
    return r;
}

std::string expand(const std::string& text, const SettingsMap& settings, expansion_state& state) {
    std::string result = text;
    // pos always stands on a "%".
    std::string::size_type pos = result.find('%');
    while (pos != std::string::npos) {
        const std::optional<reference> ref = reference_at(result, pos);
        if (!ref) break;
        const std::string::size_type start = ref->start, close = ref->close;
        std::string name = result.substr(start, close - start);
        // find, not operator[]: looking a name up must not add it.
        auto it = settings.find(name);
        if (it == settings.end() || in_chain(state, name) ||
            state.chain.size() >= static_cast<std::size_t>(max_reference_depth) ||
            state.replacements_left == 0) {
            pos = close;
            continue;
        }
        --state.replacements_left;
        state.chain.push_back(&it->first);
        std::string value = expand(it->second, settings, state);
        state.chain.pop_back();
        result.replace(start - 1, close - start + 2, value);
        // The value is final: scanning on inside it could join its own "%"
        // with text behind it into a reference nobody wrote.
        pos = result.find('%', start - 1 + value.size());
    }
    return result;
}

}  // namespace

std::string expand_references(const std::string& text, const SettingsMap& settings) {
    expansion_state state;
    return expand(text, settings, state);
}

std::vector<std::string> unknown_references(const std::string& text, const SettingsMap& settings) {
    std::vector<std::string> unknown;
    std::string::size_type pos = text.find('%');
    while (pos != std::string::npos) {
        const std::optional<reference> ref = reference_at(text, pos);
        if (!ref) break;
        std::string name = text.substr(ref->start, ref->close - ref->start);
        if (settings.count(name)) {
            // Expanded, its closing "%" is gone with it.
            pos = text.find('%', ref->close + 1);
        } else {
            unknown.push_back(std::move(name));
            pos = ref->close;
        }
    }
    return unknown;
}

}  // namespace trevan
