#pragma once

// A failure the user is to be told about: the caption and text of its
// message box in English, the system's error code taken right at the
// failing call (0 when there is none), and where the program's texts
// (ui_text.h) tell the same in other languages, which of them and the
// values of their placeholders. Operations return it; the entry function
// shows it.

#include <optional>
#include <string>

#include "support/core/ui_text.h"

namespace vennic {

struct failure {
    std::string caption;
    std::string text;
    unsigned long error = 0;
    // None for a caption that names a system call: it stays as it is in
    // every language, as support staff search for it.
    std::optional<ui_text> caption_text;
    std::optional<ui_text> text_text;
    // What the text's placeholders stand for, in the order of
    // placeholders_of(*text_text); narrow text as caption and text.
    std::string values[2];

    bool operator==(const failure& other) const {
        return caption == other.caption && text == other.text && error == other.error &&
               caption_text == other.caption_text && text_text == other.text_text &&
               values[0] == other.values[0] && values[1] == other.values[1];
    }
};

}  // namespace vennic
