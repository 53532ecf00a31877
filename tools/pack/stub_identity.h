#pragma once

// What a packed program says about itself: the two names the program reads
// (string resources 2001 and 2002), its version resource, its icon and
// whether it is signed. Shown by `trevan-pack list`.

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace trevan::pack {

struct stub_identity {
    // Why the image could not be read; empty when it was.
    std::string problem;
    std::optional<std::string> maker_name;    // UTF-8
    std::optional<std::string> product_name;  // UTF-8
    bool has_version = false;
    std::string file_version;     // the fixed numbers, as "1.2.3.4"
    std::string product_version;
    std::vector<std::pair<std::string, std::string>> version_strings;  // UTF-8, in resource order
    std::size_t icon_images = 0;  // images of the first icon group
    bool is_signed = false;       // pe_headers::is_signed
};

// Reads the image at the start of the file at path; the container behind it
// is not read. Problems end up in problem, nothing is thrown but bad_alloc.
stub_identity read_stub_identity(const std::string& path);

// A block of lines beginning with "stub identity:", and a JSON object.
std::string identity_text(const stub_identity& identity);
std::string identity_json(const stub_identity& identity);

}  // namespace trevan::pack
