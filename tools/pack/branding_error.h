#pragma once

#include <stdexcept>

namespace trevan::pack {

// Bad branding input: an icon, version, name or settings file that cannot be
// used, or a stub whose image cannot take new resources. what() is one line.
class branding_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace trevan::pack
