#pragma once

// The settings files of the pack tool (branding, project) are small JSON
// objects; reading them fails the same way for both, with one line that
// names the file.

#include <nlohmann/json.hpp>

#include <string>

namespace trevan::pack {

// The text of the file at path (at most 1 MiB). Throws tool_error naming
// what when it cannot be read or is larger.
std::string read_json_file(const std::string& path, const std::string& what);

// The folder of the file at path, "." for a bare name: where relative
// paths in the file start.
std::string folder_of(const std::string& path);

// The text as a JSON object, members in the file's order. Throws tool_error
// "<what>: not JSON (parse error ...)" or "<what>: expected a JSON object".
nlohmann::ordered_json parse_json_object(const std::string& text, const std::string& what);

}  // namespace trevan::pack
