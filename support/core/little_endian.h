#pragma once

// Little-endian fields in bytes: the one reader and writer of them for the
// program and the tools (container lengths, MD5 words, PE headers,
// resources, icon files, UTF-16 text).
//
// le_view is the reader for untrusted bytes: every read checks the span
// and gives nothing when the field does not lie wholly inside it, so no
// caller computes bounds by hand.
//
//   vennic::le_view header(bytes);
//   std::optional<std::uint32_t> lfanew = header.u32(0x3C);
//   if (!lfanew) return "too short";
//
// load_/store_ work on a pointer whose bytes the caller's buffer type or
// loop bound already guarantees (a fixed-size field, a 64-byte block);
// put_ overwrites a field the caller's own layout placed and throws
// std::out_of_range when it does not lie inside, as std::string::at would.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

namespace vennic {

inline std::uint16_t load_le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

inline std::uint32_t load_le32(const unsigned char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    // One load instead of four: the digest reads every payload byte this way.
    std::uint32_t x;
    std::memcpy(&x, p, 4);
    return x;
#else
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
#endif
}

inline void store_le16(unsigned char* p, std::uint16_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void store_le32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

// A span of bytes someone else owns, read field by field.
class le_view {
public:
    le_view() = default;
    le_view(const void* data, std::size_t size) : data_(static_cast<const unsigned char*>(data)), size_(size) {}
    explicit le_view(const std::string& bytes) : le_view(bytes.data(), bytes.size()) {}

    const unsigned char* data() const { return data_; }
    std::size_t size() const { return size_; }

    // Whether [at, at + length) lies inside the span.
    bool holds(std::size_t at, std::size_t length) const { return at <= size_ && length <= size_ - at; }

    std::optional<std::uint8_t> u8(std::size_t at) const {
        if (!holds(at, 1)) return std::nullopt;
        return data_[at];
    }
    std::optional<std::uint16_t> u16(std::size_t at) const {
        if (!holds(at, 2)) return std::nullopt;
        return load_le16(data_ + at);
    }
    std::optional<std::uint32_t> u32(std::size_t at) const {
        if (!holds(at, 4)) return std::nullopt;
        return load_le32(data_ + at);
    }

    // The bytes [at, at + length) as a span of their own.
    std::optional<le_view> part(std::size_t at, std::size_t length) const {
        if (!holds(at, length)) return std::nullopt;
        return le_view(data_ + at, length);
    }

private:
    const unsigned char* data_ = nullptr;
    std::size_t size_ = 0;
};

inline void append_le16(std::string& out, std::uint16_t v) {
    unsigned char bytes[2];
    store_le16(bytes, v);
    out.append(reinterpret_cast<const char*>(bytes), 2);
}

inline void append_le32(std::string& out, std::uint32_t v) {
    unsigned char bytes[4];
    store_le32(bytes, v);
    out.append(reinterpret_cast<const char*>(bytes), 4);
}

inline void put_le16(std::string& out, std::size_t at, std::uint16_t v) {
    if (at > out.size() || out.size() - at < 2) throw std::out_of_range("put_le16: field outside the bytes");
    store_le16(reinterpret_cast<unsigned char*>(&out[at]), v);
}

inline void put_le32(std::string& out, std::size_t at, std::uint32_t v) {
    if (at > out.size() || out.size() - at < 4) throw std::out_of_range("put_le32: field outside the bytes");
    store_le32(reinterpret_cast<unsigned char*>(&out[at]), v);
}

}  // namespace vennic
