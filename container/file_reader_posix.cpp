#include "container/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "container/format.h"

namespace trevan {
namespace {

// The marker search reads 22 bytes per byte it steps back and the walk reads
// trailers of 16 and 4 bytes: such reads come from a block read once.
constexpr std::uint32_t small_read = 4096;
constexpr std::uint32_t cache_block = 64 * 1024;

// Reads up to size bytes at offset; the count read, or -1.
long long read_at(int fd, char* destination, std::uint64_t size, std::uint64_t offset) {
    std::uint64_t done = 0;
    while (done < size) {
        ssize_t n = pread(fd, destination + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (n == 0) break;
        done += static_cast<std::uint64_t>(n);
    }
    return static_cast<long long>(done);
}

}  // namespace

file_reader::file_reader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    if (fd_ < 0) open_error_ = static_cast<unsigned long>(errno);
}

file_reader::~file_reader() {
    if (fd_ >= 0) ::close(fd_);
}

bool file_reader::is_open() const { return fd_ >= 0; }

std::optional<std::uint32_t> file_reader::move_to_end() {
    struct stat st;
    if (fstat(fd_, &st) != 0 || st.st_size < 0 ||
        static_cast<std::uint64_t>(st.st_size) > format::max_position)
        return std::nullopt;
    position_ = static_cast<std::uint32_t>(st.st_size);
    return position_;
}

std::optional<std::uint32_t> file_reader::move(std::int32_t distance) {
    std::int64_t target = static_cast<std::int64_t>(position_) + distance;
    if (target < 0 || target > format::max_position) return std::nullopt;
    position_ = static_cast<std::uint32_t>(target);
    return position_;
}

bool file_reader::read(void* destination, std::uint32_t size) {
    if (size == 0) return true;
    char* out = static_cast<char*>(destination);
    std::uint64_t end = std::uint64_t(position_) + size;
    long long got;
    if (size <= small_read) {
        if (position_ < cache_start_ || end > cache_start_ + cache_.size()) {
            // The walk moves backward: cache the block that ends with this read.
            std::uint64_t start = end > cache_block ? end - cache_block : 0;
            cache_.resize(end - start);
            long long n = read_at(fd_, cache_.data(), cache_.size(), start);
            if (n < 0) {
                cache_.clear();
                return false;
            }
            cache_.resize(static_cast<std::size_t>(n));
            cache_start_ = start;
        }
        std::uint64_t cached_end = cache_start_ + cache_.size();
        got = position_ >= cached_end ? 0 : static_cast<long long>(std::min<std::uint64_t>(size, cached_end - position_));
        if (got > 0) std::memcpy(out, cache_.data() + (position_ - cache_start_), static_cast<std::size_t>(got));
    } else {
        got = read_at(fd_, out, size, position_);
        if (got < 0) return false;
    }
    std::memset(out + got, 0, size - static_cast<std::size_t>(got));
    position_ += static_cast<std::uint32_t>(got);
    return true;
}

}  // namespace trevan
