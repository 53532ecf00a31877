#include "container/reader.h"

#include <cstring>
#include <limits>

#include "container/format.h"

namespace trevan {

std::optional<std::uint32_t> memory_reader::move_to_end() {
    if (data_.size() > format::max_position) return std::nullopt;
    position_ = static_cast<std::uint32_t>(data_.size());
    return position_;
}

std::optional<std::uint32_t> memory_reader::move(std::int32_t distance) {
    std::int64_t target = static_cast<std::int64_t>(position_) + distance;
    if (target < 0 || target > format::max_position) return std::nullopt;
    position_ = static_cast<std::uint32_t>(target);
    return position_;
}

bool memory_reader::read(void* destination, std::uint32_t size) {
    std::uint32_t available = 0;
    if (position_ < data_.size()) {
        std::size_t left = data_.size() - position_;
        available = left < size ? static_cast<std::uint32_t>(left) : size;
    }
    if (available > 0) std::memcpy(destination, data_.data() + position_, available);
    std::memset(static_cast<char*>(destination) + available, 0, size - available);
    position_ += available;
    return true;
}

bool offset_reader::read_at(std::uint64_t offset, void* destination, std::uint32_t length) {
    if (offset > size_ || length > size_ - offset) return false;
    if (!seek(static_cast<std::uint32_t>(offset)) || !in_.read(destination, length)) return false;
    position_ = static_cast<std::uint32_t>(offset) + length;
    return true;
}

bool offset_reader::seek(std::uint32_t target) {
    // At most two steps: positions are below 2^32, steps up to 2^31 - 1.
    for (int step = 0; step < 3 && position_ != target; ++step) {
        const std::int64_t wanted = std::int64_t(target) - position_;
        const std::int32_t distance =
            wanted > std::numeric_limits<std::int32_t>::max()   ? std::numeric_limits<std::int32_t>::max()
            : wanted < std::numeric_limits<std::int32_t>::min() ? std::numeric_limits<std::int32_t>::min()
                                                                 : static_cast<std::int32_t>(wanted);
        std::optional<std::uint32_t> at = in_.move(distance);
        if (!at || *at != std::int64_t(position_) + distance) return false;
        position_ = *at;
    }
    return position_ == target;
}

}  // namespace trevan
