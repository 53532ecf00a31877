#pragma once

#include <cstdint>
#include <string>

#include "support/log/listener.h"
#include "support/platform/handle.h"
#include "support/platform/real_mutex.h"

namespace vennic {
namespace log {

// A UTF-8 log file, name + ".log.txt", that several processes can append to
// at once: every line is written at the end under a named mutex made from
// the path. The file is shared for reading, writing and deleting. A file
// that is empty when opened, or that reached size_limit bytes and was
// emptied, starts with the byte order mark EF BB BF.
class file final : public listener {
public:
    // Throws vennic::log::generic ("CreateFile failed: " and the system's
    // text) when the file cannot be opened, and what real_mutex throws.
    explicit file(const std::string& name, std::uint32_t size_limit = 0xFFFFFFFFu);
    // Closes the file and the mutex handle.
    ~file() override;

    // Appends prefix, text and CR LF as one write. Throws what the named
    // mutex throws; the write itself is not checked.
    void write(int level, const std::string& prefix, const std::string& text) override;

    // "log-" and name with every backslash turned into "_".
    static std::string mutex_name(const std::string& name);

private:
    real_mutex file_lock_;
    std::string name_;
    std::uint32_t size_limit_;
    unique_handle handle_;
};

}  // namespace log
}  // namespace vennic
