#pragma once

// A reader of DER (the distinguished encoding of ASN.1) over bytes someone
// else owns: elements one after another, each length checked against the
// bytes before anything is taken. It gives nothing where the bytes are not
// DER it can read, never reads outside them and throws nothing but
// bad_alloc.

#include <optional>
#include <string>
#include <string_view>

namespace trevan::pe::der {

constexpr unsigned char tag_integer = 0x02;
constexpr unsigned char tag_oid = 0x06;
constexpr unsigned char tag_sequence = 0x30;
constexpr unsigned char tag_set = 0x31;
constexpr unsigned char tag_explicit0 = 0xA0;  // [0], constructed
constexpr unsigned char tag_explicit1 = 0xA1;

// One element: its tag, its contents and its whole encoding, views into the
// bytes read.
struct element {
    unsigned char tag = 0;
    std::string_view contents;
    std::string_view encoding;
};

// The elements of a span, one after another. Long-form tags and indefinite
// lengths, which DER does not use, and lengths above 32 bits end the
// reading, as does a length that runs past the span.
class reader {
public:
    explicit reader(std::string_view bytes) : rest_(bytes) {}

    bool empty() const { return rest_.empty(); }
    // The tag of the next element; 0 at the end.
    unsigned char peek() const { return rest_.empty() ? 0 : static_cast<unsigned char>(rest_[0]); }

    // The next element; nothing when it cannot be read (the reader then
    // stays where it is).
    std::optional<element> next();
    // The next element when it has tag; nothing otherwise.
    std::optional<element> next(unsigned char tag);
    // Passes over the next element when it has tag.
    void skip_optional(unsigned char tag);

private:
    std::string_view rest_;
};

// The contents of the first element of bytes, when it has tag.
std::optional<std::string_view> inside(std::string_view bytes, unsigned char tag);

// The contents of an OID in dotted form ("1.2.840.113549"); nothing when an
// arc does not fit 64 bits or the last one is cut off.
std::optional<std::string> dotted_oid(std::string_view oid);

}  // namespace trevan::pe::der
