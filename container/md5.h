#pragma once

// MD5 message digest of RFC 1321. Feed bytes with update() (or the byte-string
// constructor) and take the raw 16-byte digest with digest(). A plain value:
// no allocation, nothing thrown.

#include <cstddef>
#include <cstdint>
#include <string>

namespace trevan {

class md5_digest {
public:
    md5_digest();
    explicit md5_digest(const std::string& data);

    // Adds size bytes from data; calls after digest() change nothing.
    void update(const void* data, std::size_t size);

    // The 16 digest bytes (A, B, C, D, each little-endian). The first call
    // pads and finalises; later calls return the same bytes.
    std::string digest();

private:
    void finish();

    std::uint32_t state_[4];
    std::uint64_t bit_count_ = 0;
    unsigned char pending_[64];
    std::size_t pending_size_ = 0;
    bool finished_ = false;
};

}  // namespace trevan
