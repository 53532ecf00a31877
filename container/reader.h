#pragma once

// The file access the container walk needs: a 32-bit position moved by
// signed 32-bit distances, and reads at that position. The program reads its
// own file through the Win32 calls (file_reader.h); tools and tests also read
// plain files and memory.

#include <cstdint>
#include <optional>
#include <string>

namespace trevan {

class archive_reader {
public:
    virtual ~archive_reader() = default;

    // Moves to the end of the file. Returns the new position (the file size),
    // or nothing when that is not a valid position (format::max_position).
    virtual std::optional<std::uint32_t> move_to_end() = 0;

    // Moves by distance bytes from the current position (negative moves back;
    // moving beyond the end is allowed). Returns the new position, or nothing
    // when it would be below 0 or above format::max_position; the position
    // then stays where it was.
    virtual std::optional<std::uint32_t> move(std::int32_t distance) = 0;

    // Reads size bytes at the position into destination and advances past the
    // bytes read. True when the system reports success: reaching the end of
    // the file early is a success that reads fewer bytes, and the rest of
    // destination is then set to zero.
    virtual bool read(void* destination, std::uint32_t size) = 0;
};

// A reader over bytes held in memory; owns them.
class memory_reader : public archive_reader {
public:
    explicit memory_reader(std::string data) : data_(std::move(data)) {}

    std::optional<std::uint32_t> move_to_end() override;
    std::optional<std::uint32_t> move(std::int32_t distance) override;
    bool read(void* destination, std::uint32_t size) override;

    std::uint32_t position() const { return position_; }

private:
    std::string data_;
    std::uint32_t position_ = 0;
};

// Reads at absolute offsets of a file of known size through an
// archive_reader standing at position. Every read is checked against the
// size first, so nothing beyond the end is ever asked for; the reader's
// relative moves are made in steps it can take.
class offset_reader {
public:
    offset_reader(archive_reader& in, std::uint32_t size, std::uint32_t position)
        : in_(in), size_(size), position_(position) {}

    std::uint32_t size() const { return size_; }

    // False when [offset, offset + length) is not inside the file, or a move
    // or the read fails.
    bool read_at(std::uint64_t offset, void* destination, std::uint32_t length);
    // Moves to target; false when a move fails.
    bool seek(std::uint32_t target);

private:
    archive_reader& in_;
    std::uint32_t size_;
    std::uint32_t position_;
};

}  // namespace trevan
