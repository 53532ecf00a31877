#pragma once

// Expansion of %name% references in a text by settings values. Only the
// container's own text is read for references: what the run puts in (the
// caller's arguments, the work folder's path with the user's TEMP text in
// it, the MSI log path) is taken as it stands, and so are the values of the
// settings the run sets itself. No result is longer than a command line of
// Windows can be.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "container/settings.h"

namespace trevan {

// Deepest nesting of references that is expanded; a reference met deeper
// stays in the text as it is.
inline constexpr int max_reference_depth = 32;

// Most references replaced in one expansion, nested ones included; any
// further reference stays in the text as it is. Far above what a real
// container needs, it bounds the work of values that refer to each other
// many times.
inline constexpr std::size_t max_reference_replacements = 10000;

// The longest command line Windows takes (CreateProcessW: 32,767 characters
// with the terminating null). No expansion gives a longer text: a value
// that long is of no use to a setup program, and a container cannot make
// the expansion ask for more memory than this.
inline constexpr std::size_t max_command_line_length = 32767;

// The settings every run sets from what it meets before the extraction:
// "source" (the work folder's path, which holds the user's TEMP text) and
// "commandline" (the caller's arguments). Their values are inserted as they
// are, never expanded again, and count as the caller's text.
bool is_run_setting(const std::string& name);

// Who wrote each byte of a text the run puts together.
enum class text_origin : char {
    container,  // the container's own values: references are expanded
    run,        // the run's own pieces (quotation marks, switches it adds)
    caller,     // what the user controls: arguments, paths below TEMP
};

// A text and the origin of each of its bytes. Only bytes of the container
// open, close or name a reference; a "%" of any other origin is a plain
// character.
class composed_text {
public:
    composed_text() = default;
    composed_text(std::string text, text_origin origin)
        : text_(std::move(text)), origins_(text_.size(), static_cast<char>(origin)) {}

    const std::string& text() const { return text_; }
    std::size_t size() const { return text_.size(); }
    text_origin origin(std::size_t i) const { return static_cast<text_origin>(origins_[i]); }
    // Whether any byte in [begin, end) is the caller's.
    bool from_caller(std::size_t begin, std::size_t end) const;

    composed_text& append(const composed_text& piece);
    composed_text& append(const std::string& piece, text_origin origin) {
        return append(composed_text(piece, origin));
    }
    composed_text& insert(std::size_t pos, const composed_text& piece);
    composed_text& insert(std::size_t pos, const std::string& piece, text_origin origin) {
        return insert(pos, composed_text(piece, origin));
    }
    // The bytes in [begin, end) with their origins.
    composed_text substr(std::size_t begin, std::size_t end) const;
    // Replaces [begin, end) by piece.
    composed_text& replace(std::size_t begin, std::size_t end, const composed_text& piece);

private:
    std::string text_;
    std::string origins_;  // one text_origin a byte, the program's one string type

};

// Returns text with every reference to a key of settings replaced by that
// key's value, itself expanded first (the value of a run setting is taken as
// it is, of origin caller). A reference is a "%", a name of one or more
// characters without "%", and a closing "%", all of the container's text;
// in a run of "%" only the last opens a name. A name that is not a key, or
// holds a byte that is not the container's, stays with both percent signs,
// and its closing "%" may open the next reference. After a replaced
// reference the scan resumes behind the inserted value, so neither the
// value nor the consumed closing "%" takes part in another reference. A
// reference to a key that is being expanded already (a cycle) or nested
// deeper than max_reference_depth, or met after max_reference_replacements,
// stays unexpanded. Nothing when the text, a value or the result would be
// longer than max_command_line_length. Never changes settings; throws only
// std::bad_alloc.
std::optional<composed_text> expand_references(const composed_text& text, const SettingsMap& settings);
// The same for a text of the container's.
std::optional<std::string> expand_references(const std::string& text, const SettingsMap& settings);

// The names of the references in text that name no key of settings and so
// stay in the text as they are, in order, read as expand_references reads
// the text (values put in are not read again). Throws only std::bad_alloc.
std::vector<std::string> unknown_references(const std::string& text, const SettingsMap& settings);

}  // namespace trevan
