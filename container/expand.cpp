#include "container/expand.h"

#include <algorithm>
#include <vector>

namespace trevan {
namespace {

// Names whose values are being expanded, outermost first. Its size is the
// depth of the recursion, so the limit also bounds the stack.
using expansion_chain = std::vector<const std::string*>;

bool in_chain(const expansion_chain& chain, const std::string& name) {
    return std::any_of(chain.begin(), chain.end(), [&](const std::string* n) { return *n == name; });
}

std::string expand(const std::string& text, const SettingsMap& settings, expansion_chain& chain) {
    std::string result = text;
    // pos always stands on a "%".
    std::string::size_type pos = result.find('%');
    while (pos != std::string::npos) {
        std::string::size_type start = result.find_first_not_of('%', pos);
        if (start == std::string::npos) break;
        std::string::size_type close = result.find('%', start);
        if (close == std::string::npos) break;
        std::string name = result.substr(start, close - start);
        // find, not operator[]: looking a name up must not add it.
        auto it = settings.find(name);
        if (it == settings.end() || in_chain(chain, name) ||
            chain.size() >= static_cast<std::size_t>(max_reference_depth)) {
            pos = close;
            continue;
        }
        chain.push_back(&it->first);
        std::string value = expand(it->second, settings, chain);
        chain.pop_back();
        result.replace(start - 1, close - start + 2, value);
        // The value is final: scanning on inside it could join its own "%"
        // with text behind it into a reference nobody wrote.
        pos = result.find('%', start - 1 + value.size());
    }
    return result;
}

}  // namespace

std::string expand_references(const std::string& text, const SettingsMap& settings) {
    expansion_chain chain;
    return expand(text, settings, chain);
}

}  // namespace trevan
