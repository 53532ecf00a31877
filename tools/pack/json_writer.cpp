#include "tools/pack/json_writer.h"

#include <string>

namespace trevan::pack {
namespace {

std::string dumped(const json& value) { return value.dump(2, ' ', false, json::error_handler_t::replace); }

}  // namespace

void write_json(std::ostream& out, const json& document) { out << dumped(document) << '\n'; }

void json_stream::new_line() { out_ << '\n' << std::string(2 * levels_.size(), ' '); }

void json_stream::before_value() {
    if (levels_.empty() || levels_.back().is_object) return;
    if (!levels_.back().empty) out_ << ',';
    levels_.back().empty = false;
    new_line();
}

void json_stream::open(char bracket) {
    before_value();
    out_ << bracket;
    levels_.push_back({bracket == '{', true});
}

void json_stream::close(char bracket) {
    const bool empty = levels_.back().empty;
    levels_.pop_back();
    if (!empty) new_line();
    out_ << bracket;
    if (levels_.empty()) out_ << '\n';
}

void json_stream::begin_object() { open('{'); }
void json_stream::end_object() { close('}'); }
void json_stream::begin_array() { open('['); }
void json_stream::end_array() { close(']'); }

void json_stream::key(std::string_view name) {
    if (!levels_.back().empty) out_ << ',';
    levels_.back().empty = false;
    new_line();
    out_ << dumped(json(std::string(name))) << ": ";
}

void json_stream::value(const json& value, bool one_line) {
    before_value();
    if (one_line) {
        out_ << value.dump(-1, ' ', false, json::error_handler_t::replace);
        if (levels_.empty()) out_ << '\n';
        return;
    }
    // nlohmann indents from column 0; a value nested here takes the
    // indentation of its level on each of its lines. A string's line ends
    // are escaped, so every line end in the dump is one of its own.
    const std::string indent(2 * levels_.size(), ' ');
    for (char c : dumped(value)) {
        out_ << c;
        if (c == '\n') out_ << indent;
    }
    if (levels_.empty()) out_ << '\n';
}

}  // namespace trevan::pack
