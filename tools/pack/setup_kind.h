#pragma once

// What kind of setup program a file is, told from its bytes by the marks
// each format publishes, and the kind a container is packed with.
//
//   msi    the compound-file signature D0 CF 11 E0 A1 B1 1A E1 at offset 0
//   nsis   the first header (flags below 16, 0xDEADBEEF, "NullsoftInst") at
//          a 512-byte boundary, where the NSIS loader looks for it: within
//          the loader's image or in the first blocks behind it
//   inno   the setup loader's offset table, which begins with "rDlPtS", in
//          RCDATA resource 11111, or where the "Inno" header at offset 0x30
//          of older loaders points
//   burn   a section ".wixburn" whose data begins with the magic 0x00F14300
//
// A file with none of them is of no kind (setup_kind::none): the program
// then assembles its command line as it always did.

#include <optional>
#include <string>
#include <vector>

#include "app/setup_kind.h"
#include "tools/pack/builder.h"

namespace trevan::pack {

struct detected_kind {
    setup_kind kind = setup_kind::none;
    std::string evidence;  // what was found and where; empty for none
};

// Reads the marks of the file at path. Throws tool_error when it cannot be
// opened; a damaged executable is of no kind.
detected_kind detect_setup_kind(const std::string& path);

// The kind --kind names: "default" is none; nothing for a name the
// program does not know.
std::optional<setup_kind> kind_of_option(const std::string& name);

// The "kind" value record to pack with the records, if any: the one --kind
// chose (chosen set), else none when the records set "kind" themselves,
// else the kind of the setup programs that "executable32" and
// "executable64" name. Throws tool_error when those are of different kinds.
std::optional<record> kind_record(const std::vector<record>& records, const std::optional<setup_kind>& chosen);

}  // namespace trevan::pack
