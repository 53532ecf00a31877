#pragma once

// SHA-256 of FIPS 180-4, for the digest of a built file in the build
// report. Feed bytes with update() and take the raw 32-byte digest with
// digest(). A plain value: no allocation, nothing thrown.

#include <cstddef>
#include <cstdint>
#include <string>

namespace trevan::pack {

class sha256_digest {
public:
    sha256_digest();

    // Adds size bytes from data; calls after digest() change nothing.
    void update(const void* data, std::size_t size);

    // The 32 digest bytes. The first call pads and finalises; later calls
    // return the same bytes.
    std::string digest();

private:
    void block(const unsigned char* p);

    std::uint32_t state_[8];
    std::uint64_t byte_count_ = 0;
    unsigned char pending_[64];
    std::size_t pending_size_ = 0;
    bool finished_ = false;
};

}  // namespace trevan::pack
