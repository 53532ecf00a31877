// Where a container may end: at the end of an unsigned file, or where the
// certificate table of a signed one begins (behind at most 7 zero bytes);
// everything else is refused, before a single chunk is read.
#include <gtest/gtest.h>

#include "container/anchor.h"
#include "container/pe_header.h"
#include "container/format.h"
#include "container/walk.h"
#include "container/writer.h"
#include "support/core/little_endian.h"
#include "tests/container/container_fixtures.h"

namespace trevan {
namespace {

using fixtures::pseudo_random_bytes;

using vennic::put_le32;

// A small container around a minimal PE32 image.
std::string unsigned_file() {
    return fixtures::sample_container(fixtures::minimal_pe(4096), pseudo_random_bytes(100, 1),
                                      pseudo_random_bytes(120, 2));
}

// A container holding one value, around any image.
std::string one_value(const std::string& image, const std::string& value) {
    std::string c;
    append_stub(c, image, "Trevan.exe");
    append_value_record(c, "who", value);
    append_tail(c);
    return c;
}

// A certificate table of n bytes: its length field, revision and type, then
// signature-like bytes.
std::string table(std::size_t n) {
    std::string t = pseudo_random_bytes(n, 3);
    put_le32(t, 0, static_cast<std::uint32_t>(n));
    return t;
}

struct layout {
    const char* what;
    std::string file;
    bool found;
    std::size_t end;     // when found
    const char* reason;  // when not found: a part of the reason
};

std::vector<layout> layouts() {
    const std::string plain = unsigned_file();
    const std::size_t n = plain.size();
    std::vector<layout> rows;
    rows.push_back({"unsigned, ending at the end of the file", plain, true, n, ""});
    for (std::size_t extra : {1u, 7u, 8u, 5672u})
        rows.push_back({"unsigned with bytes behind the container", plain + pseudo_random_bytes(extra, 4), false, 0,
                        "ends at the end of the file"});
    rows.push_back({"unsigned with zero bytes behind the container", plain + std::string(4, '\0'), false, 0,
                    "ends at the end of the file"});
    rows.push_back({"unsigned, cut by one byte", plain.substr(0, n - 1), false, 0, "ends at the end of the file"});
    rows.push_back({"unsigned, cut in half", plain.substr(0, n / 2), false, 0, "ends at the end of the file"});
    for (std::size_t padding = 0; padding <= 7; ++padding)
        rows.push_back({"signed, padding 0-7", fixtures::with_certificate_table(plain, padding, table(5672)), true, n,
                        ""});
    rows.push_back({"signed, 8 bytes of padding", fixtures::with_certificate_table(plain, 8, table(5672)), false, 0,
                    "where the certificate table begins"});
    {
        std::string dirty = fixtures::with_certificate_table(plain, 4, table(64));
        dirty[n + 2] = 1;
        rows.push_back({"signed, padding that is not zero", dirty, false, 0, "where the certificate table begins"});
    }
    {
        const std::string signed_file = fixtures::with_certificate_table(plain, 3, table(5672));
        rows.push_back({"signed, cut by one byte", signed_file.substr(0, signed_file.size() - 1), false, 0,
                        "points outside the file"});
        rows.push_back({"signed, cut into the container", signed_file.substr(0, n - 100), false, 0,
                        "points outside the file"});
        rows.push_back({"signed, bytes behind the table", signed_file + "x", false, 0,
                        "does not reach the end of the file"});
        std::string beyond = signed_file;
        put_le32(beyond, fixtures::minimal_pe_security_entry + 4, 0xFFFFFFF0u);
        rows.push_back({"signed, a table size that wraps past 2^32", beyond, false, 0, "points outside the file"});
        std::string no_size = signed_file;
        put_le32(no_size, fixtures::minimal_pe_security_entry + 4, 0);
        rows.push_back({"security directory of size 0", no_size, false, 0, "is malformed"});
        std::string at_zero = signed_file;
        put_le32(at_zero, fixtures::minimal_pe_security_entry, 0);
        put_le32(at_zero, fixtures::minimal_pe_security_entry + 4, static_cast<std::uint32_t>(signed_file.size()));
        rows.push_back({"security directory at offset 0", at_zero, false, 0, "is malformed"});
        std::string early = signed_file;
        put_le32(early, fixtures::minimal_pe_security_entry, static_cast<std::uint32_t>(n - 40));
        put_le32(early, fixtures::minimal_pe_security_entry + 4, static_cast<std::uint32_t>(signed_file.size() - (n - 40)));
        rows.push_back({"a table that begins inside the tail chunk", early, false, 0,
                        "where the certificate table begins"});
    }
    {
        // A directory beyond the count the optional header declares does not
        // exist, whatever it holds.
        std::string four = plain;
        put_le32(four, 0x98 + 92, 4);
        fixtures::set_security_entry(four, 1, 1);
        rows.push_back({"4 data directories: no security directory", four, true, n, ""});
    }
    {
        // PE32+: the directories start 16 bytes further on.
        std::string image = fixtures::minimal_pe(4096);
        image[0x98] = 0x0B;
        image[0x99] = 0x02;
        put_le32(image, 0x98 + 92, 0);
        put_le32(image, 0x98 + 108, 16);
        const std::string c = fixtures::sample_container(image, "a", "b");
        std::string signed_file = c + std::string(5, '\0') + table(800);
        put_le32(signed_file, 0x98 + 112 + 32, static_cast<std::uint32_t>(c.size() + 5));
        put_le32(signed_file, 0x98 + 112 + 36, 800);
        rows.push_back({"PE32+, signed", signed_file, true, c.size(), ""});
        rows.push_back({"PE32+, bytes behind the table", signed_file + "x", false, 0,
                        "does not reach the end of the file"});
    }
    {
        std::string lfanew = plain;
        put_le32(lfanew, pe_layout::lfanew_at, static_cast<std::uint32_t>(plain.size() - 10));
        rows.push_back({"e_lfanew near the end of the file", lfanew, false, 0, "points outside the file"});
        std::string no_signature = plain;
        no_signature[0x81] = 'X';
        rows.push_back({"no PE signature", no_signature, false, 0, "no PE signature"});
        std::string optional = plain;
        optional[0x84 + 16] = static_cast<char>(0xFF);
        optional[0x84 + 17] = static_cast<char>(0xFF);
        rows.push_back({"an optional header larger than the file", optional, false, 0, "does not fit"});
        std::string magic = plain;
        magic[0x98] = 0x07;
        rows.push_back({"unknown optional header magic", magic, false, 0, "unknown optional header"});
        rows.push_back({"\"MZ\" and nothing else", "MZ" + std::string(40, 'x'), false, 0, "DOS header"});
    }
    {
        // Not an executable: read like an unsigned file.
        const std::string fake = fixtures::sample_container(pseudo_random_bytes(300, 5), "a", "b");
        rows.push_back({"no MZ: the container ends at the end", fake, true, fake.size(), ""});
        rows.push_back({"no MZ, bytes behind", fake + "xyz", false, 0, "ends at the end of the file"});
    }
    {
        // The marker is accepted from offset 23 on only.
        for (std::size_t at : {0u, 22u, 23u}) {
            std::string file = pseudo_random_bytes(at, 6) + std::string(format::tail_marker) + pseudo_random_bytes(20, 7);
            rows.push_back({"a bare tail chunk at offset 0, 22, 23", file, at >= 23, file.size(),
                            "ends at the end of the file"});
        }
        rows.push_back({"an empty file", "", false, 0, "ends at the end of the file"});
    }
    return rows;
}

TEST(Anchor, OnlyWhereTheSignatureEnds) {
    for (const layout& row : layouts()) {
        memory_reader in(row.file);
        const anchor a = find_anchor(in);
        EXPECT_EQ(a.found, row.found) << row.what << ": " << a.reason;
        if (row.found) {
            EXPECT_EQ(a.end, row.end) << row.what;
            EXPECT_EQ(in.position(), row.end) << row.what;
        } else {
            EXPECT_NE(a.reason.find(row.reason), std::string::npos) << row.what << ": " << a.reason;
        }
        // The walk agrees, and refuses before reading any chunk.
        SettingsMap settings;
        memory_reader again(row.file);
        walk_result walked = walk_container(again, settings);
        if (!row.found) {
            EXPECT_EQ(walked.end, walk_end::no_marker) << row.what;
            EXPECT_EQ(walked.chunks, 0u) << row.what;
            EXPECT_EQ(walked.reason, a.reason) << row.what;
        }
    }
}

// The old search started at the end of the file, so a container hidden in
// the certificate table (which the signature does not cover) was found
// first. The anchor never looks there.
TEST(Anchor, AContainerHiddenInTheCertificateTableIsNeverRead) {
    const std::string signed_part = one_value(fixtures::minimal_pe(4096), "signed");
    const std::string hidden = one_value(fixtures::minimal_pe(1024), "hidden");
    for (std::size_t padding : {0u, 5u}) {
        // The hidden container at the table's end, and then also behind 0-7
        // zero bytes of its own: neither is where the signed bytes end.
        for (std::size_t tail_padding : {0u, 3u}) {
            std::string t = table(2000) + hidden + std::string(tail_padding, '\0');
            put_le32(t, 0, static_cast<std::uint32_t>(t.size()));
            const std::string file = fixtures::with_certificate_table(signed_part, padding, t);
            memory_reader in(file);
            SettingsMap settings;
            walk_result r = walk_container(in, settings);
            EXPECT_TRUE(r.ok) << r.reason;
            EXPECT_EQ(settings, (SettingsMap{{"who", "signed"}})) << padding << " " << tail_padding;
        }
    }
    // A table that holds only the hidden container, claimed to begin where
    // the hidden one begins: the signed bytes then end inside the table's
    // claim, and the hidden tail is not where the table begins.
    std::string file = signed_part + hidden;
    fixtures::set_security_entry(file, static_cast<std::uint32_t>(signed_part.size()),
                                 static_cast<std::uint32_t>(hidden.size()));
    memory_reader in(file);
    SettingsMap settings;
    EXPECT_TRUE(walk_container(in, settings).ok);
    EXPECT_EQ(settings, (SettingsMap{{"who", "signed"}}));
}

TEST(Anchor, HeadersOfAStubAsTheBuilderSeesThem) {
    struct row {
        const char* what;
        std::string file;
        pe_headers::kind kind;
        std::uint32_t offset, size;
    };
    std::string signed_pe = fixtures::minimal_pe(4096);
    fixtures::set_security_entry(signed_pe, 5000, 300);
    const row rows[] = {
        {"unsigned PE32", fixtures::minimal_pe(4096), pe_headers::kind::pe, 0, 0},
        {"signed PE32", signed_pe, pe_headers::kind::pe, 5000, 300},
        {"no MZ", pseudo_random_bytes(4096, 8), pe_headers::kind::not_executable, 0, 0},
        {"one byte", "M", pe_headers::kind::not_executable, 0, 0},
        {"MZ, too short", "MZ but not much else", pe_headers::kind::no_pe_header, 0, 0},
    };
    for (const row& r : rows) {
        memory_reader in(r.file);
        pe_headers h = read_pe_headers(in, static_cast<std::uint32_t>(r.file.size()));
        EXPECT_EQ(h.type, r.kind) << r.what << ": " << h.problem;
        EXPECT_EQ(h.directory(certificate_directory).address, r.offset) << r.what;
        EXPECT_EQ(h.directory(certificate_directory).size, r.size) << r.what;
        EXPECT_EQ(h.is_signed(), r.offset != 0) << r.what;
    }
}

// Every header read stays inside the file, whatever the header fields say.
TEST(Anchor, HeaderFieldsNeverLeadOutsideTheFile) {
    class bounded_reader : public memory_reader {
    public:
        explicit bounded_reader(std::string data) : memory_reader(data), size_(data.size()) {}
        bool read(void* destination, std::uint32_t size) override {
            if (position() + std::uint64_t(size) > size_) outside = true;
            return memory_reader::read(destination, size);
        }
        bool outside = false;

    private:
        std::size_t size_;
    };
    const std::string plain = unsigned_file();
    for (std::size_t field : {std::size_t(pe_layout::lfanew_at), std::size_t(0x84 + 16), std::size_t(0x98 + 92),
                              fixtures::minimal_pe_security_entry, fixtures::minimal_pe_security_entry + 4}) {
        for (std::uint32_t value : {0u, 1u, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu,
                                    static_cast<std::uint32_t>(plain.size()) - 1}) {
            std::string file = plain;
            put_le32(file, field, value);
            bounded_reader in(file);
            find_anchor(in);
            EXPECT_FALSE(in.outside) << field << " " << value;
        }
    }
}

}  // namespace
}  // namespace trevan
