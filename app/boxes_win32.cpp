#include <windows.h>

#include "app/boxes.h"
#include "support/log/log.h"

namespace trevan {

void boxes::show(const char* caption, const char* text) const {
    const bool shown = shows_message_box(silent_switch_, interactive_, log_ready_);
    if (log_ready_) {
        try {
            // One line: the text's line ends become blanks.
            std::string line = text;
            for (char& c : line)
                if (c == '\r' || c == '\n') c = ' ';
            vennic::log::writef("Message box%s: %s: %s", shown ? "" : " (not shown, unattended)", caption,
                                line.c_str());
        } catch (...) {
            // The box itself still tells.
        }
    }
    if (shown) MessageBoxA(nullptr, text, caption, MB_OK);
}

}  // namespace trevan
