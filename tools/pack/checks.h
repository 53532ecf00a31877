#pragma once

// The checks `trevan-pack build` makes of what it is asked to pack, before
// anything is written; each is named after what it is about, so that
// `--no-check NAME` turns it off:
//   executable32, executable64  set, naming a file record, every %reference%
//                               in it a setting
//   parameters                  every %reference% in it a setting, its
//                               expansion within the command-line limit
//   allowed_options             each name one of the options a kind
//                               refuses to take from the caller
//   msilog                      absent or exactly "ON"
//   kind                        absent or a kind the program knows
//   stub                        a Trevan program: it holds the tag of the
//                               container's tail, which the program looks
//                               for (branding changes resources only)
// A failed check is a tool_error (bad input): one line that begins with the
// name.

#include <set>
#include <string>
#include <vector>

#include "tools/pack/builder.h"

namespace trevan::pack {

// Every name --no-check takes.
extern const std::vector<std::string> check_names;

// Runs every check not skipped on the stub and the records as they will be
// packed.
void check_inputs(const std::string& stub_path, const std::vector<record>& records,
                  const std::set<std::string>& skipped);

}  // namespace trevan::pack
