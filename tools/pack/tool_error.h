#pragma once

// The pack tool's one failure: a line for stderr and the exit code the tool
// ends with. Every command and the builder throw it; main is the one place
// that catches it, prints "trevan-pack: <what>" and exits with its code.
// Errors of the PE library (pe::pe_error) become one where branding and the
// stub checks call it.

#include <stdexcept>
#include <string>

namespace trevan::pack {

enum class exit_code : int {
    success = 0,
    verification_failed = 1,  // the container is not sound
    bad_input = 2,            // bad usage or input, or an output that cannot be written
};

class tool_error : public std::runtime_error {
public:
    explicit tool_error(const std::string& what, exit_code code = exit_code::bad_input)
        : std::runtime_error(what), code_(code) {}
    exit_code code() const { return code_; }

private:
    exit_code code_;
};

}  // namespace trevan::pack
