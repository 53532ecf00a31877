#pragma once

// The project file of `trevan-pack build --project`: one JSON file that
// says what a product's bootstrapper is, for a CI job to keep under version
// control (resources/project.sample.json):
//
//   {
//     "stub": "Trevan.exe",
//     "stub_name": "AmberlynSetup.exe",
//     "files": [
//       {"setting": "installer32", "stored_name": "AmberlynInstall.exe", "path": "AmberlynInstall.exe"},
//       {"setting": "installer64", "path": "AmberlynInstall_x64.exe"}
//     ],
//     "values": {"executable32": "%installer32%", "executable64": "%installer64%", "msilog": "ON"},
//     "branding": "branding.json",
//     "ui_languages": [1031, 1041],
//     "code_page": 1252,
//     "output": "AmberlynSetup.exe",
//     "sign_command": "osslsigncode sign -certs cert.pem -key key.pem -h sha256 -in {in} -out {out}"
//   }
//
// Every member is optional; "branding" is a branding file's path or its
// object inline (branding_file.h); "ui_languages" the languages of the
// program's own texts packed, "all" or an array of LCIDs (ui_packing.h),
// which go into the branding; "code_page" is the ANSI code page the texts
// are stored in (code_page.h). Records are written as listed, the
// files first, then the values. Paths are taken from the project file's
// folder, and the signing command runs there. Unknown members, members of
// the wrong type and files that do not exist are refused with one line
// that names the member.

#include <optional>
#include <string>
#include <vector>

#include "tools/pack/branding.h"
#include "tools/pack/builder.h"

namespace trevan::pack {

struct project {
    std::optional<std::string> stub;
    std::optional<std::string> stub_name;
    std::vector<record> records;
    branding brand;
    std::optional<std::string> output;
    std::optional<std::string> sign_command;
    std::optional<unsigned> code_page;
    // The project file's folder: where the signing command runs.
    std::string folder;
};

// Reads the file at path. Throws tool_error (one line naming the file and
// the member) when it cannot be read, is not JSON or says something that
// cannot be used.
project read_project_file(const std::string& path);

// The same from the file's text; folder is where relative paths start.
project parse_project(const std::string& text, const std::string& folder, const std::string& what);

}  // namespace trevan::pack
