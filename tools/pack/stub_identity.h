#pragma once

// What a packed program says about itself: the two names the program reads
// (string resources 2001 and 2002), its version resource, its icon, the
// languages it carries its own texts in (ui_packing.h) and whether it
// carries a certificate table, with the signer's name when it can be read.
// The signature itself is not checked here. Shown by `trevan-pack list` and
// the build report.

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "container/reader.h"
#include "tools/pack/ui_packing.h"

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
    // The languages of the program's texts, ascending; a damaged one with
    // its problem.
    std::vector<carried_ui_language> ui_languages;
    // The security directory names a certificate table (pe_headers::is_signed):
    // the file is signed, or claims to be.
    bool certificate_table = false;
    // The subject of the certificate that made the first signature, RFC 2253
    // text (pe::signer_subject); read, never checked.
    std::optional<std::string> signer;
};

// Reads the image at the start of the file behind in, and the certificate
// table when it lies behind the image; the container between them is not
// read. Hostile sizes cost nothing: no byte of the file is read twice, so
// the reads add up to at most the file's size, and so does what is held.
// Problems end up in problem, nothing is thrown but bad_alloc.
stub_identity read_stub_identity(archive_reader& in);
// The same for the file at path.
stub_identity read_stub_identity(const std::string& path);

// A block of lines beginning with "stub identity:" (texts quoted, control
// characters escaped), and a JSON object.
std::string identity_text(const stub_identity& identity);
nlohmann::ordered_json identity_json(const stub_identity& identity);

}  // namespace trevan::pack
