#pragma once

// A UTF-8 log file, name + ".log.txt", that several processes can append to
// at once: every line is written at the end under a named mutex made from
// the path. The file is shared for reading, writing and deleting. A file
// that is empty when opened, or that reached size_limit bytes and was
// emptied, starts with the byte order mark EF BB BF.
//
// The file usually lies in a folder that any process of the user can write,
// so it is opened in that folder, held by the caller, as a plain file only
// (open_plain_file): never through a link, never a file with a second name,
// and its name is never looked up along a path again. The mutex is waited for at most
// lock_timeout_ms milliseconds; a line that does not get it is dropped, and
// so that a mutex held elsewhere does not cost that time for every line,
// later lines only try it (no wait) until one gets it again.

#include <cstdint>
#include <string>

#include "support/log/listener.h"
#include "support/platform/handle.h"
#include "support/platform/real_mutex.h"

namespace vennic {
namespace log {

class file final : public listener {
public:
    static constexpr unsigned long default_lock_timeout_ms = 3000;

    // name is the log's path without its extension ("C:\Temp\Trevan"): the
    // mutex is made from it, and its last component names the file in
    // folder, the held folder that the rest of it names. Throws
    // vennic::log::generic ("CreateFile failed: " and the system's text) when
    // the file cannot be opened or is not a plain file, and what real_mutex's
    // constructor throws. Nothing is written to a file that is refused. When
    // the mutex cannot be had here, the byte order mark of an empty file
    // comes with the first line that gets it.
    file(HANDLE folder, const std::string& name, std::uint32_t size_limit = 0xFFFFFFFFu,
         unsigned long lock_timeout_ms = default_lock_timeout_ms);
    // Closes the file and the mutex handle.
    ~file() override;

    // Appends prefix, text and CR LF as one write, or drops the line when the
    // mutex cannot be had in time. Throws what the named mutex throws; the
    // write itself is not checked.
    void write(int level, const std::string& prefix, const std::string& text) override;

    // "log-" and name with every backslash turned into "_".
    static std::string mutex_name(const std::string& name);

private:
    // Takes the mutex within the time allowed; false when it is held
    // elsewhere.
    bool take_lock();

    real_mutex file_lock_;
    std::string name_;
    std::uint32_t size_limit_;
    unsigned long lock_timeout_ms_;
    unique_handle handle_;
    bool lock_stalled_ = false;  // the last attempt ran out of time
    bool mark_pending_ = false;  // an empty file's mark is still to be written
};

}  // namespace log
}  // namespace vennic
