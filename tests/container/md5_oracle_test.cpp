// md5_digest against OpenSSL's MD5 as the oracle: every length around the
// block boundaries, and random inputs fed in random pieces.
#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <random>

#include "container/md5.h"
#include "tests/container/container_fixtures.h"

namespace trevan {
namespace {

std::string openssl_md5(const std::string& data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(data.data(), data.size(), out, &size, EVP_md5(), nullptr);
    return std::string(reinterpret_cast<char*>(out), size);
}

TEST(Md5Oracle, EveryLengthUpTo200AndTheBlockBoundaries) {
    std::string data = fixtures::pseudo_random_bytes(300, 1);
    for (std::size_t n = 0; n <= 200; ++n)
        EXPECT_EQ(md5_digest(data.substr(0, n)).digest(), openssl_md5(data.substr(0, n))) << n;
    for (std::size_t n : {55, 56, 63, 64, 65, 119, 120, 127, 128, 129})
        EXPECT_EQ(md5_digest(std::string(n, 'a')).digest(), openssl_md5(std::string(n, 'a'))) << n;
}

TEST(Md5Oracle, RandomInputsInRandomPieces) {
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::size_t size = random() % (round < 150 ? 1000 : 300000);
        std::string data = fixtures::pseudo_random_bytes(size, round);
        for (char& c : data) c = static_cast<char>(c ^ (random() & 0xFF));
        md5_digest d;
        for (std::size_t at = 0; at < size;) {
            std::size_t piece = std::min<std::size_t>(size - at, random() % (round % 2 ? 200 : 70000));
            d.update(data.data() + at, piece);
            at += piece;
        }
        EXPECT_EQ(d.digest(), openssl_md5(data)) << "round " << round << ", " << size << " bytes";
    }
}

}  // namespace
}  // namespace trevan
