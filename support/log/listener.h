#pragma once

// A sink of log lines. The dispatcher owns the listeners added to it and
// deletes them through this interface.

#include <string>

namespace vennic {
namespace log {

class listener {
public:
    virtual ~listener() = 0;

    // One message: its level (0 to 5; the character is already in prefix),
    // the stamped line prefix, and the text in UTF-8.
    virtual void write(int level, const std::string& prefix, const std::string& text) = 0;

    listener(const listener&) = delete;
    listener& operator=(const listener&) = delete;

protected:
    listener() = default;
};

inline listener::~listener() = default;

}  // namespace log
}  // namespace vennic
