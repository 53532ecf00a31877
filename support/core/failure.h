#pragma once

// A failure the user is to be told about: the caption and text of its
// message box, and the system's error code taken right at the failing call
// (0 when there is none). Operations return it; the entry function shows it.

#include <string>

namespace vennic {

struct failure {
    std::string caption;
    std::string text;
    unsigned long error = 0;

    bool operator==(const failure& other) const {
        return caption == other.caption && text == other.text && error == other.error;
    }
};

}  // namespace vennic
