#pragma once

// The run's message boxes: whether one is shown or only logged (portable),
// and the one place that shows them (Windows). Every box has one OK button,
// no owner window and no icon, and goes to the log as a line with its
// caption and text as shown: in the run's language where the program
// carries the failure's texts in it (ui_texts_win32.h), else in English.

#include <string>

#include "support/core/failure.h"

namespace trevan {

class ui_texts;

// Whether the run shows its own message box, or only logs it. Asked for
// with /S (silent_switch), a box is still shown when there is no log to
// hold it; where no one can see the process's windows (no interactive
// window station) it never is, since a box there waits for ever.
bool shows_message_box(bool silent_switch, bool interactive, bool log_ready);

// Shows and logs the run's boxes; in an unattended run a box is only
// logged (shows_message_box), and the run goes on as if OK had been
// pressed. Never throws.
class boxes {
public:
    void set_log_ready(bool ready) { log_ready_ = ready; }
    void set_unattended(bool silent_switch, bool interactive) {
        silent_switch_ = silent_switch;
        interactive_ = interactive;
    }

    // The texts boxes are shown in from now on; held by the caller for as
    // long as boxes are shown. Until set, English.
    void set_texts(const ui_texts* texts) { texts_ = texts; }

    void show(const vennic::failure& failure) const;

private:
    const ui_texts* texts_ = nullptr;
    bool log_ready_ = false;
    bool silent_switch_ = false;
    bool interactive_ = true;
};

}  // namespace trevan
