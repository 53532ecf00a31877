#pragma once

// The one writer of the pack tool's JSON reports (list, verify, build, plan,
// extract): nlohmann writes every value, indented by two blanks. A report
// is written whole (write_json) or, where it could be as long as the
// container, member by member and element by element (json_stream), so
// that it is never held whole; both give the same text for the same
// document. Texts must be UTF-8 already (shown_text.h makes them so); a
// byte sequence that is not becomes U+FFFD rather than end a report halfway.

#include <nlohmann/json.hpp>

#include <ostream>
#include <string_view>
#include <vector>

namespace trevan::pack {

using json = nlohmann::ordered_json;

// The document and a line end.
void write_json(std::ostream& out, const json& document);

// A JSON document written as it goes: objects and arrays opened and closed
// by hand, every member name and value written by nlohmann. Calls must nest
// as the document does (a member name only inside an object, a value or an
// element only behind a member name or inside an array); the document ends
// with a line end once the outermost object or array is closed.
class json_stream {
public:
    explicit json_stream(std::ostream& out) : out_(out) {}

    void begin_object();
    void end_object();
    void begin_array();
    void end_array();
    // A member's name inside an object; its value follows.
    void key(std::string_view name);
    // A whole value: a member's or an array's next element; one_line
    // writes it without line ends (and without blanks, as nlohmann does).
    void value(const json& value, bool one_line = false);

private:
    // Before a value or an opening bracket: the separator and indentation
    // an array element needs (a member's value follows its name directly).
    void before_value();
    void open(char bracket);
    void close(char bracket);
    void new_line();

    struct level {
        bool is_object = false;
        bool empty = true;
    };
    std::ostream& out_;
    std::vector<level> levels_;
};

}  // namespace trevan::pack
