#pragma once

// Signing a built bootstrapper with the user's own command (osslsigncode,
// signtool, a CI script). The command runs on a copy in a private folder,
// its result must pass the program's own check, and only then does it
// replace the output:
//
//   build_options options;
//   options.put_in_place = signed_placement(
//       "osslsigncode sign -certs cert.pem -key key.pem -h sha256 -in {in} -out {out}", ".");
//
// {in} and {out} in the template become quoted paths in that folder; {in}
// is the built file, named as the output; {out} names a file that does not
// exist yet. A template without {out} signs {in} in place (signtool).

#include <functional>
#include <optional>
#include <string>

#include "tools/pack/tool_error.h"

namespace trevan::pack {

// What is wrong with a template, as the end of a sentence about it ("must
// name the file to sign as {in}..."); nothing when it can be used.
std::optional<std::string> sign_command_problem(const std::string& command_template);

// The command line of the template for the two paths.
std::string sign_command_line(const std::string& command_template, const std::string& in, const std::string& out);

// What build_options::put_in_place calls to sign: it takes the complete
// file from its temporary path, runs the command in working_folder through
// the shell, and checks the result: a certificate table, and the walk of
// `verify`. Only then is the result renamed to the output. A command that
// does not start or ends with another exit code than 0, and a result that
// fails the check, are a tool_error (bad input) that shows what the command
// printed; the private folder and everything in it go in every case, and
// the output stays as it was. Throws tool_error for a template with a
// problem.
std::function<void(const std::string& complete, const std::string& output)> signed_placement(
    const std::string& command_template, const std::string& working_folder);

}  // namespace trevan::pack
