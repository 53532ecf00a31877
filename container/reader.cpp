#include "container/reader.h"

#include <cstring>

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

}  // namespace trevan
