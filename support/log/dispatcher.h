#pragma once

// Stamps each message once and delivers it to every listener whose
// threshold the level reaches: highest threshold first and, among equal
// thresholds, the most recently added first. Owns its listeners. Its own
// critical section guards the map and the delivery.

#include <map>
#include <string>

#include "support/platform/mutex.h"

namespace vennic {
namespace log {

class listener;

class dispatcher final : public vennic::mutex {
public:
    dispatcher();
    // Deletes every listener.
    ~dispatcher();

    // Takes ownership (the listener is deleted when this throws) and files
    // it under threshold 0. A null listener is ignored.
    void add(listener* sink);
    // Deletes every listener and empties the map.
    void clear();

    // Delivers wide text at a level from 0 to 5. Level 5 describes the
    // exception being handled after the text and is delivered at level 3
    // with the character "@". What a listener throws reaches the caller.
    void dispatch(int level, std::wstring text);
    // Narrow text at level 1: read in the ANSI code page; if that or the
    // delivery throws, read as UTF-8; if that throws too, a fixed text is
    // delivered instead, and what that throws reaches the caller.
    void write(const std::string& text);
    // wstring_vprintf(format, ...) at the given level.
    void writef_w(int level, const wchar_t* format, ...);

    // The prefix of a line: local date and time, the level's character and
    // two blanks. Levels outside 0 to 5 get "?".
    static std::string make_prefix(const SYSTEMTIME& time, int level);

private:
    std::multimap<int, listener*> listeners_;
};

}  // namespace log
}  // namespace vennic
