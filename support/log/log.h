#pragma once

// The process-wide log: its listeners, lines at level 1 and the shutdown
// that deletes the listeners. The log's own errors are log::generic.

#include <string>

#include "support/core/exception.h"
#include "support/core/printf_check.h"

namespace vennic {
namespace log {

class listener;

// Errors of the log facility itself (category path "log").
class generic : public vennic::exception {
public:
    explicit generic(const std::string& message);
};

// The process-wide log. Every function takes the global log lock for its
// work and makes the dispatcher when there is none yet; a lock constructed
// before the program's entry point runs.

// Hands the listener to the dispatcher, which owns it from now on (also when
// this throws: the listener is then deleted). A null listener is ignored.
void add_listener(listener* sink);

// Writes narrow text (ANSI code page, else UTF-8) at level 1.
void write(const std::string& text);

// Wide text at level 1, as it is.
void write_wide(const std::wstring& text);

// printf-style text at level 1; formatted before the lock is taken.
void writef(const char* format, ...) VENNIC_PRINTF(1, 2);

// Deletes every listener (closing their files) and the dispatcher. The other
// functions work again afterwards, with a new, empty dispatcher.
void shutdown();

}  // namespace log
}  // namespace vennic
