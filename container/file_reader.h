#pragma once

// An archive_reader over a file on disk. On Windows it reads with
// SetFilePointer with 32-bit distances and ReadFile, either through a file
// it opens (CreateFileA: read access, read sharing, sequential-scan hint) or
// through a handle the caller holds (the program's own file). Elsewhere it
// reads with POSIX calls and serves the walk's small backward reads from a
// cached block.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "container/reader.h"

namespace trevan {

class file_reader : public archive_reader {
public:
    // Opens path for reading; check is_open(). Owns the handle or descriptor
    // and closes it on destruction.
    explicit file_reader(const std::string& path);
#ifdef _WIN32
    // A handle the caller holds open while the reader lives; the reader
    // moves its position but never closes it.
    struct borrowed {
        void* handle;
    };
    explicit file_reader(borrowed file);
#endif
    ~file_reader() override;
    file_reader(const file_reader&) = delete;
    file_reader& operator=(const file_reader&) = delete;

    bool is_open() const;
    // The error code of a failed open (GetLastError() taken right after the
    // open on Windows, errno elsewhere); 0 when the open succeeded.
    unsigned long open_error() const { return open_error_; }

    std::optional<std::uint32_t> move_to_end() override;
    std::optional<std::uint32_t> move(std::int32_t distance) override;
    bool read(void* destination, std::uint32_t size) override;

private:
    unsigned long open_error_ = 0;
#ifdef _WIN32
    void* handle_;
    bool owned_ = true;
#else
    int fd_ = -1;
    std::uint32_t position_ = 0;
    // Cached bytes [cache_start_, cache_start_ + cache_.size()).
    std::uint64_t cache_start_ = 0;
    std::vector<char> cache_;
#endif
};

}  // namespace trevan
