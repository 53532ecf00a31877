#include "app/boxes.h"

namespace trevan {

bool shows_message_box(bool silent_switch, bool interactive, bool log_ready) {
    return interactive && !(silent_switch && log_ready);
}

}  // namespace trevan
