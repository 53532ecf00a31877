#pragma once

// Expansion of %name% references in a text by settings values.

#include <cstddef>
#include <string>
#include <vector>

#include "container/settings.h"

namespace trevan {

// Deepest nesting of references that is expanded; a reference met deeper
// stays in the text as it is.
inline constexpr int max_reference_depth = 32;

// Most references replaced in one expansion, nested ones included; any
// further reference stays in the text as it is. Far above what a real
// container needs, it keeps values that multiply each other from growing
// without end.
inline constexpr std::size_t max_reference_replacements = 10000;

// Returns text with every reference to a key of settings replaced by that
// key's value, itself expanded first. A reference is a "%", a name of one or
// more characters without "%", and a closing "%"; in a run of "%" only the
// last opens a name. A name that is not a key stays with both percent signs,
// and its closing "%" may open the next reference. After a replaced reference
// the scan resumes behind the inserted value, so neither the value nor the
// consumed closing "%" takes part in another reference. A reference to a key
// that is being expanded already (a cycle) or nested deeper than
// max_reference_depth, or met after max_reference_replacements, stays
// unexpanded. Never changes settings; throws only
// std::bad_alloc.
std::string expand_references(const std::string& text, const SettingsMap& settings);

// The names of the references in text that name no key of settings and so
// stay in the text as they are, in order, read as expand_references reads
// the text (values put in are not read again). Throws only std::bad_alloc.
std::vector<std::string> unknown_references(const std::string& text, const SettingsMap& settings);

}  // namespace trevan
