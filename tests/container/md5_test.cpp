// MD5 against the digests printed in RFC 1321, and the digest's finalisation.
#include <gtest/gtest.h>

#include "container/format.h"
#include "container/md5.h"
#include "container/writer.h"

namespace trevan {
namespace {

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST(Md5, Rfc1321TestSuite) {
    const std::pair<const char*, const char*> suite[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [input, expected] : suite) {
        EXPECT_EQ(hex(md5_digest(input).digest()), expected) << input;
        // The same bytes fed one at a time.
        md5_digest bytewise;
        for (const char* p = input; *p; ++p) bytewise.update(p, 1);
        EXPECT_EQ(hex(bytewise.digest()), expected) << input;
    }
}

TEST(Md5, DigestIsTakenOnceAndKeepsZeroBytes) {
    md5_digest d("abc");
    std::string first = d.digest();
    EXPECT_EQ(first.size(), 16u);
    EXPECT_EQ(d.digest(), first);
    // Input after the digest was taken changes nothing.
    d.update("more", 4);
    EXPECT_EQ(d.digest(), first);
    // A digest with a zero byte keeps all 16 bytes ("jk8ssl" gives 00 00 ...).
    std::string z = md5_digest("jk8ssl").digest();
    EXPECT_EQ(hex(z), "0000000018e6137ac2caab16074784a6");
}

TEST(Md5, MarkerDigestClosesTheTailChunk) {
    // The 16 bytes that end the shipped container, and every other.
    std::string tail;
    append_tail(tail);
    ASSERT_EQ(tail.size(), 42u);
    EXPECT_EQ(hex(tail.substr(26)), "a8a8ce0123fb197e706d7ce0c78674c5");
    EXPECT_EQ(tail.substr(26), md5_digest(std::string(format::tail_marker)).digest());
}

}  // namespace
}  // namespace trevan
