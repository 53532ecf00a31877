#pragma once

// Bytes that are not what a parser of this library expects: an image whose
// headers, sections or resource directory are damaged, an image that cannot
// take new resources, an icon file that is not one. what() is one line that
// begins with the name the caller gave the bytes.

#include <stdexcept>

namespace trevan::pe {

class pe_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace trevan::pe
