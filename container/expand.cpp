#include "container/expand.h"

#include <algorithm>

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

bool is_delimiter(const composed_text& text, std::size_t i) {
    return text.text()[i] == '%' && text.origin(i) == text_origin::container;
}

// The first "%" of the container's text at or behind pos.
std::size_t next_delimiter(const composed_text& text, std::size_t pos) {
    for (std::size_t i = pos; i < text.size(); ++i)
        if (is_delimiter(text, i)) return i;
    return std::string::npos;
}

bool container_only(const composed_text& text, std::size_t begin, std::size_t end) {
    for (std::size_t i = begin; i < end; ++i)
        if (text.origin(i) != text_origin::container) return false;
    return true;
}

// The reference at or behind pos, which stands on a delimiter: where its
// name starts and the position of its closing "%".
struct reference {
    std::size_t start = 0;
    std::size_t close = 0;
};

std::optional<reference> reference_at(const composed_text& text, std::size_t pos) {
    reference r;
    r.start = pos;
    while (r.start < text.size() && is_delimiter(text, r.start)) ++r.start;
    if (r.start == text.size()) return std::nullopt;
    r.close = next_delimiter(text, r.start);
    if (r.close == std::string::npos) return std::nullopt;
    return r;
}

std::optional<composed_text> expand(const composed_text& text, const SettingsMap& settings, expansion_state& state) {
    if (text.size() > max_command_line_length) return std::nullopt;
    composed_text result = text;
    std::size_t pos = next_delimiter(result, 0);
    while (pos != std::string::npos) {
        const std::optional<reference> ref = reference_at(result, pos);
        if (!ref) break;
        const std::size_t start = ref->start, close = ref->close;
        // A name the caller wrote a part of names nothing: the user's text
        // never picks a value.
        const bool own = container_only(result, start, close);
        const std::string name = result.text().substr(start, close - start);
        // find, not operator[]: looking a name up must not add it.
        auto it = own ? settings.find(name) : settings.end();
        if (it == settings.end() || in_chain(state, name) ||
            state.chain.size() >= static_cast<std::size_t>(max_reference_depth) ||
            state.replacements_left == 0) {
            pos = close;
            continue;
        }
        --state.replacements_left;
        std::optional<composed_text> value;
        if (is_run_setting(name)) {
            value = composed_text(it->second, text_origin::caller);
        } else {
            state.chain.push_back(&it->first);
            value = expand(composed_text(it->second, text_origin::container), settings, state);
            state.chain.pop_back();
        }
        if (!value || result.size() - (close - start + 2) + value->size() > max_command_line_length)
            return std::nullopt;
        result.replace(start - 1, close + 1, *value);
        // The value is final: scanning on inside it could join its own "%"
        // with text behind it into a reference nobody wrote.
        pos = next_delimiter(result, start - 1 + value->size());
    }
    return result;
}

}  // namespace

bool is_run_setting(const std::string& name) { return name == "source" || name == "commandline"; }

bool composed_text::from_caller(std::size_t begin, std::size_t end) const {
    return origins_.substr(begin, end - begin).find(static_cast<char>(text_origin::caller)) != std::string::npos;
}

composed_text& composed_text::append(const composed_text& piece) { return insert(size(), piece); }

composed_text& composed_text::insert(std::size_t pos, const composed_text& piece) {
    text_.insert(pos, piece.text_);
    origins_.insert(pos, piece.origins_);
    return *this;
}

composed_text composed_text::substr(std::size_t begin, std::size_t end) const {
    composed_text part;
    part.text_ = text_.substr(begin, end - begin);
    part.origins_ = origins_.substr(begin, end - begin);
    return part;
}

composed_text& composed_text::replace(std::size_t begin, std::size_t end, const composed_text& piece) {
    text_.replace(begin, end - begin, piece.text_);
    origins_.replace(begin, end - begin, piece.origins_);
    return *this;
}

std::optional<composed_text> expand_references(const composed_text& text, const SettingsMap& settings) {
    expansion_state state;
    return expand(text, settings, state);
}

std::optional<std::string> expand_references(const std::string& text, const SettingsMap& settings) {
    std::optional<composed_text> expanded = expand_references(composed_text(text, text_origin::container), settings);
    if (!expanded) return std::nullopt;
    return expanded->text();
}

std::vector<std::string> unknown_references(const std::string& text, const SettingsMap& settings) {
    std::vector<std::string> unknown;
    const composed_text own(text, text_origin::container);
    std::size_t pos = text.find('%');
    while (pos != std::string::npos) {
        const std::optional<reference> ref = reference_at(own, pos);
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
