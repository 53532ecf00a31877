// The DER reader on a real certificate made by openssl, on every cut of
// it, and on hand-made forms: lengths that run past their span, lengths
// DER does not use, and elements that run past the element holding them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/signing/test_signer.h"
#include "tools/pe/der.h"

namespace trevan::pe::der {
namespace {

namespace fs = std::filesystem;

std::string bytes_of(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out += static_cast<char>(v);
    return out;
}

// A certificate made once for the suite, in DER.
const std::string& certificate() {
    static const std::string der = [] {
        const fs::path folder = fs::temp_directory_path() / ("trevan-der-test-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        fixtures::test_signer signer(folder.string(), "/O=Quillfeather/CN=Der Test");
        std::string bytes;
        if (signer.made()) {
            std::ifstream in(signer.certificate_der(), std::ios::binary);
            bytes.assign(std::istreambuf_iterator<char>(in), {});
        } else {
            ADD_FAILURE() << signer.output();
        }
        fs::remove_all(folder);
        return bytes;
    }();
    return der;
}

// The elements of span, in order, until one cannot be read.
std::vector<element> all(std::string_view span, bool& whole) {
    std::vector<element> out;
    reader r(span);
    while (!r.empty()) {
        std::optional<element> e = r.next();
        if (!e) break;
        out.push_back(*e);
    }
    whole = r.empty();
    return out;
}

TEST(Der, WalksARealCertificate) {
    const std::string& der = certificate();
    ASSERT_GT(der.size(), 200u);
    reader top(der);
    std::optional<element> cert = top.next(tag_sequence);
    ASSERT_TRUE(cert);
    EXPECT_TRUE(top.empty());
    EXPECT_EQ(cert->encoding.size(), der.size());

    // Certificate: tbsCertificate, signatureAlgorithm, signatureValue (a
    // BIT STRING), each element's encoding following the last.
    bool whole = false;
    const std::vector<element> parts = all(cert->contents, whole);
    ASSERT_TRUE(whole);
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts[0].tag, tag_sequence);
    EXPECT_EQ(parts[1].tag, tag_sequence);
    EXPECT_EQ(parts[2].tag, 0x03);
    EXPECT_EQ(parts[0].encoding.data(), cert->contents.data());
    EXPECT_EQ(parts[2].encoding.data() + parts[2].encoding.size(), cert->contents.data() + cert->contents.size());

    // openssl signs with SHA-256 and RSA by default.
    std::optional<std::string_view> algorithm = inside(parts[1].encoding, tag_sequence);
    ASSERT_TRUE(algorithm);
    std::optional<std::string_view> oid = inside(*algorithm, tag_oid);
    ASSERT_TRUE(oid);
    EXPECT_EQ(dotted_oid(*oid), "1.2.840.113549.1.1.11");

    // TBSCertificate: [0] version, serial, signature, issuer, validity,
    // subject, subjectPublicKeyInfo, [3] extensions.
    const std::vector<element> fields = all(parts[0].contents, whole);
    ASSERT_TRUE(whole);
    std::vector<int> tags;
    for (const element& e : fields) tags.push_back(e.tag);
    EXPECT_EQ(tags, (std::vector<int>{0xA0, 0x02, 0x30, 0x30, 0x30, 0x30, 0x30, 0xA3}));
    // A self-signed certificate's issuer is its subject.
    EXPECT_EQ(fields[3].encoding, fields[5].encoding);
}

TEST(Der, NoCutOfTheCertificateIsRead) {
    const std::string& der = certificate();
    ASSERT_FALSE(der.empty());
    for (std::size_t size = 0; size < der.size(); ++size) {
        reader r(std::string_view(der).substr(0, size));
        EXPECT_FALSE(r.next()) << size;
        // A failed read leaves the reader where it was.
        EXPECT_EQ(r.empty(), size == 0) << size;
    }
}

TEST(Der, FormsItReadsAndFormsItRefuses) {
    struct row {
        const char* what;
        std::string bytes;
        std::optional<std::string> contents;  // nothing: refused
    };
    const row rows[] = {
        {"short form", bytes_of({0x30, 0x03, 0x02, 0x01, 0x05}), bytes_of({0x02, 0x01, 0x05})},
        {"empty contents", bytes_of({0x05, 0x00}), std::string()},
        {"long form, one length byte", bytes_of({0x04, 0x81, 0x02, 0xAA, 0xBB}), bytes_of({0xAA, 0xBB})},
        {"long form, four length bytes", bytes_of({0x04, 0x84, 0, 0, 0, 1, 0xCC}), bytes_of({0xCC})},
        {"length past the end", bytes_of({0x30, 0x05, 0x02, 0x01, 0x05}), std::nullopt},
        {"long length past the end", bytes_of({0x04, 0x82, 0x01, 0x00, 0xAA}), std::nullopt},
        {"largest length", bytes_of({0x04, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0xAA}), std::nullopt},
        {"five length bytes", bytes_of({0x04, 0x85, 0, 0, 0, 0, 1, 0xAA}), std::nullopt},
        {"indefinite length", bytes_of({0x30, 0x80, 0x05, 0x00, 0x00, 0x00}), std::nullopt},
        {"length bytes cut", bytes_of({0x04, 0x82, 0x01}), std::nullopt},
        {"tag alone", bytes_of({0x30}), std::nullopt},
        {"long-form tag", bytes_of({0x1F, 0x01, 0x00}), std::nullopt},
        {"nothing", std::string(), std::nullopt},
    };
    for (const row& r : rows) {
        reader in(r.bytes);
        std::optional<element> e = in.next();
        ASSERT_EQ(e.has_value(), r.contents.has_value()) << r.what;
        if (!e) continue;
        EXPECT_EQ(std::string(e->contents), *r.contents) << r.what;
        EXPECT_EQ(e->encoding.size(), r.bytes.size()) << r.what;
        EXPECT_TRUE(in.empty()) << r.what;
    }
}

TEST(Der, AnElementNeverRunsPastTheOneHoldingIt) {
    // The outer SEQUENCE holds 3 bytes; the INTEGER in it claims 5, which
    // the whole buffer would have.
    const std::string bytes = bytes_of({0x30, 0x03, 0x02, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05});
    reader outer(bytes);
    std::optional<element> sequence = outer.next(tag_sequence);
    ASSERT_TRUE(sequence);
    EXPECT_EQ(sequence->contents.size(), 3u);
    reader inner(sequence->contents);
    EXPECT_FALSE(inner.next());
    EXPECT_FALSE(inside(sequence->contents, tag_integer));

    // A wrong tag takes nothing; skipping passes over the right one only.
    const std::string two = bytes_of({0x02, 0x01, 0x07, 0x31, 0x00});
    reader r(two);
    EXPECT_FALSE(r.next(tag_set));
    r.skip_optional(tag_set);
    EXPECT_EQ(r.peek(), tag_integer);
    r.skip_optional(tag_integer);
    EXPECT_EQ(r.peek(), tag_set);
    EXPECT_TRUE(r.next(tag_set));
    EXPECT_TRUE(r.empty());
    EXPECT_EQ(r.peek(), 0);
}

TEST(Der, ObjectIdentifiersInDottedForm) {
    struct row {
        std::string oid;
        std::optional<std::string> dotted;
    };
    const row rows[] = {
        {bytes_of({0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D}), "1.2.840.113549"},
        {bytes_of({0x55, 0x04, 0x03}), "2.5.4.3"},
        {bytes_of({0x00}), "0.0"},
        {bytes_of({0x88, 0x37}), "2.999"},  // a first number of 80 and more is all arc 2's
        {bytes_of({0x2A, 0x86}), std::nullopt},  // the last arc cut
        {std::string(), std::nullopt},
        {std::string(9, '\xFF') + "\x7F", std::nullopt},  // 70 bits
        {std::string(8, '\xFF') + "\x7F", "2.9223372036854775727"},  // 63 bits
    };
    for (const row& r : rows) EXPECT_EQ(dotted_oid(r.oid), r.dotted) << (r.dotted ? *r.dotted : "refused");
}

}  // namespace
}  // namespace trevan::pe::der
