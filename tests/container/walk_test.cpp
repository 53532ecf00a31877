// The container walk over memory: the shipped layout, the ok flag, record
// rules, damaged and hostile containers, bounded reads of file data.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "container/format.h"
#include "container/walk.h"
#include "tests/container/container_fixtures.h"
#include "container/writer.h"

namespace trevan {
namespace {

using fixtures::pseudo_random_bytes;

// Records what the walk reports and keeps written files in memory.
class recorder : public walk_observer {
public:
    class memory_file : public output_file {
    public:
        memory_file(recorder& owner, std::string& data) : owner_(owner), data_(data) {}
        bool write(const void* data, std::size_t size) override {
            if (size > owner_.largest_write) owner_.largest_write = size;
            data_.append(static_cast<const char*>(data), size);
            return !owner_.fail_writes;
        }
        bool finish() override {
            ++owner_.finished;
            return true;
        }

    private:
        recorder& owner_;
        std::string& data_;
    };

    void chunk_read(const chunk_info& info) override { chunks.push_back(info); }
    void record_read(const record_info& info) override { records.push_back(info); }
    bool writes_files() const override { return true; }
    std::unique_ptr<output_file> create_output(const std::string& name, std::uint32_t) override {
        created.push_back(name);
        if (fail_creation) return nullptr;
        files[name].clear();
        return std::make_unique<memory_file>(*this, files[name]);
    }

    std::vector<std::uint32_t> lengths() const {
        std::vector<std::uint32_t> out;
        for (const chunk_info& c : chunks) out.push_back(c.length);
        return out;
    }

    std::vector<chunk_info> chunks;
    std::vector<record_info> records;
    std::vector<std::string> created;
    std::map<std::string, std::string> files;
    std::size_t largest_write = 0;
    unsigned finished = 0;  // outputs whose data matched its digest
    bool fail_creation = false;
    bool fail_writes = false;
};

walk_result walk(const std::string& bytes, SettingsMap& settings, recorder& r) {
    memory_reader in(bytes);
    return walk_container(in, settings, r);
}

std::string small_image() { return pseudo_random_bytes(300, 99); }

// A small container in the shipped layout.
std::string small_sample() {
    return fixtures::sample_container(small_image(), pseudo_random_bytes(100, 1), pseudo_random_bytes(120, 2));
}

TEST(Walk, ShippedLayoutWalksTwentyThreeChunks) {
    std::string data32 = pseudo_random_bytes(2073936, 32), data64 = pseudo_random_bytes(2073944, 64);
    std::string file = fixtures::sample_container(fixtures::minimal_pe(347136), data32, data64);
    std::size_t tail_end = file.size();
    // Signed: the certificate table begins behind the tail chunk and the
    // zeros that pad it to a multiple of 8.
    file = fixtures::with_certificate_table(file, (8 - tail_end % 8) % 8, pseudo_random_bytes(5672, 4));

    SettingsMap settings;
    recorder r;
    walk_result result = walk(file, settings, r);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.end, walk_end::stub_reached);
    EXPECT_EQ(r.lengths(), (std::vector<std::uint32_t>{22, 5, 6, 2, 5, 10, 44, 5, 12, 13, 5, 12, 13, 4, 11, 24,
                                                       2073944, 4, 11, 20, 2073936, 4, 4}));
    for (const chunk_info& c : r.chunks) EXPECT_TRUE(c.digest_ok) << c.index;
    EXPECT_EQ(r.chunks.front().role, chunk_role::tail);
    EXPECT_EQ(r.chunks.front().offset + 22 + format::trailer_size, tail_end);
    EXPECT_EQ(r.chunks[16].role, chunk_role::file_data);
    EXPECT_EQ(settings, fixtures::sample_settings());
    EXPECT_EQ(r.files, (std::map<std::string, std::string>{{"VorbelquintSetup_x64.exe", data64},
                                                           {"VorbelquintSetup.exe", data32}}));
    EXPECT_EQ(r.records.back().kind, record_kind::stub);
}

TEST(Walk, RecordRules) {
    struct record_case {
        const char* what;
        std::string body;  // records between the stub record and the tail chunk
        SettingsMap before;
        SettingsMap after;
        std::map<std::string, std::string> files;
    };
    auto value = [](const std::string& name, const std::string& text) {
        std::string c;
        append_value_record(c, name, text);
        return c;
    };
    auto file = [](const std::string& name, const std::string& stored, const std::string& data) {
        std::string c;
        append_file_record(c, name, stored, data);
        return c;
    };
    auto chunk = [](const std::string& data) {
        std::string c;
        append_chunk(c, data);
        return c;
    };
    const record_case cases[] = {
        {"the record nearer the end wins", value("a", "1") + value("a", "2") + file("f", "x.exe", "1") +
                                              file("f", "y.exe", "2"),
         {}, {{"a", "2"}, {"f", "y.exe"}}, {{"x.exe", "1"}, {"y.exe", "2"}}},
        {"settings present before keep their values", value("a", "new") + file("f", "x.exe", "d"),
         {{"a", "old"}, {"f", "old.exe"}}, {{"a", "old"}, {"f", "old.exe"}}, {{"x.exe", "d"}}},
        {"empty names, values and data", value("", "v") + value("e", "") + file("", "n.exe", ""), {},
         {{"", "v"}, {"e", ""}}, {{"n.exe", ""}}},
        {"another tag is skipped with its name", value("a", "1") + chunk("n") + chunk("other") + value("b", "2"), {},
         {{"a", "1"}, {"b", "2"}}, {}},
        {"tags match exactly", chunk("n") + chunk("Value") + chunk("m") + chunk("value ") + value("b", "2"), {},
         {{"b", "2"}}, {}},
        {"a second tail chunk between records", value("a", "1") + chunk(std::string(format::tail_marker)) +
                                                   value("b", "2"),
         {}, {{"a", "1"}, {"b", "2"}}, {}},
    };
    for (const record_case& c : cases) {
        std::string container;
        append_stub(container, small_image(), "Trevan.exe");
        container += c.body;
        append_tail(container);
        SettingsMap settings = c.before;
        recorder r;
        walk_result result = walk(container, settings, r);
        EXPECT_TRUE(result.ok) << c.what << ": " << result.reason;
        EXPECT_EQ(result.end, walk_end::stub_reached) << c.what;
        EXPECT_EQ(settings, c.after) << c.what;
        EXPECT_EQ(r.files, c.files) << c.what;
    }
}

// Damage to any chunk that the walk reads ends it with false; the records
// read before stay applied, the damaged one and those behind it are not.
TEST(Walk, FlippedByteInEachChunk) {
    std::string good = small_sample();
    recorder reference;
    SettingsMap all;
    ASSERT_TRUE(walk(good, all, reference).ok);
    ASSERT_EQ(reference.chunks.size(), 23u);

    // Which settings each record adds, in walk order, and the chunk that
    // completes it.
    const std::vector<std::pair<unsigned, std::string>> record_ends = {
        {4, "msilog"}, {7, "parameters"}, {10, "executable64"}, {13, "executable32"},
        {17, "installer64"}, {21, "installer32"}};
    for (const chunk_info& c : reference.chunks) {
        std::string bad = good;
        if (c.role == chunk_role::tail || c.length == 0)
            bad[c.offset + c.length + 4] ^= 0x01;  // the digest: the marker must stay findable
        else
            bad[c.offset + c.length / 2] ^= 0x01;
        SettingsMap settings;
        recorder r;
        walk_result result = walk(bad, settings, r);
        EXPECT_FALSE(result.ok) << "chunk " << c.index;
        EXPECT_EQ(result.end, walk_end::digest_mismatch) << "chunk " << c.index;
        EXPECT_EQ(result.chunks, c.index);
        SettingsMap expected;
        for (const auto& [last, key] : record_ends)
            if (last < c.index) expected[key] = all[key];
        EXPECT_EQ(settings, expected) << "chunk " << c.index;
        // A file's output is created when its data is reached, and finished
        // only when all of it matched its digest.
        EXPECT_EQ(r.created.size(), (c.index >= 17) + (c.index >= 21)) << "chunk " << c.index;
        EXPECT_EQ(r.finished, (c.index > 17) + (c.index > 21)) << "chunk " << c.index;
    }
    // The stub image chunk is never read, so damage there goes unseen.
    std::string bad = good;
    bad[10] ^= 0x01;
    SettingsMap settings;
    recorder r;
    EXPECT_TRUE(walk(bad, settings, r).ok);
}

// A truncated download, or bytes behind the container, fail at the search
// at once, whether the file is signed or not.
TEST(Walk, TruncationAtEveryOffset) {
    const std::string good = small_sample();
    const std::string signed_file = fixtures::with_certificate_table(
        fixtures::sample_container(fixtures::minimal_pe(1024), pseudo_random_bytes(100, 1), pseudo_random_bytes(120, 2)),
        3, pseudo_random_bytes(300, 12));
    const std::pair<std::string, std::size_t> files[] = {{good + pseudo_random_bytes(64, 5), good.size()},
                                                         {signed_file, signed_file.size()}};
    for (const auto& [whole, end] : files) {
        for (std::size_t size = 0; size <= whole.size(); ++size) {
            SettingsMap settings;
            recorder r;
            walk_result result = walk(whole.substr(0, size), settings, r);
            EXPECT_EQ(result.ok, size == end) << size << ": " << result.reason;
            if (size != end) {
                EXPECT_EQ(result.end, walk_end::no_marker) << size;
                EXPECT_TRUE(r.chunks.empty()) << size;
            }
        }
    }
}

TEST(Walk, TheMarkerCountsOnlyAsTheLastChunk) {
    // The marker text anywhere but in the chunk at the end is not looked at.
    for (std::size_t behind : {0u, 19u, 21u, 40u}) {
        std::string file = small_sample();
        file.insert(file.size() / 2, std::string(format::tail_marker));
        file += std::string(format::tail_marker) + pseudo_random_bytes(behind, 7);
        SettingsMap settings;
        memory_reader in(file);
        walk_result result = walk_container(in, settings);
        EXPECT_EQ(result.end, walk_end::no_marker) << behind << ": " << result.reason;
        EXPECT_FALSE(result.ok) << behind;
    }
}

// Hostile length fields: the chunk cannot be read, nothing large is read or
// kept, and the walk fails although the tail chunk was read.
TEST(Walk, LengthFieldAttacks) {
    std::string front;
    append_stub(front, pseudo_random_bytes(9u << 20, 9), "Trevan.exe");  // 9 MiB before the hostile chunk
    append_value_record(front, "a", "1");
    // Bytes before the hostile chunk's length field: front and its 5 data bytes.
    const std::uint32_t room = static_cast<std::uint32_t>(front.size()) + 5;
    struct attack {
        std::uint32_t length;
        bool right_digest;
        walk_end end;
    };
    const attack attacks[] = {
        {0xFFFFFFFFu, true, walk_end::unreadable_chunk},        // wraps to a forward move
        {0x80000000u, true, walk_end::unreadable_chunk},        // the first negative distance
        {0x7FFFFFFDu, true, walk_end::unreadable_chunk},        // just above the limit
        {format::max_chunk_length, true, walk_end::unreadable_chunk},  // the limit, beyond the file's start
        {room + 1, true, walk_end::unreadable_chunk},           // one byte more than lies before it
        {room, false, walk_end::digest_mismatch},               // fits, but 9 MiB that do not match
    };
    for (const attack& a : attacks) {
        std::string file = front;
        // The hostile chunk stands where the walk expects the next tag.
        append_raw_chunk(file, "value", a.length, a.right_digest ? md5_of("value") : md5_of("x"));
        append_tail(file);
        memory_reader memory(file);
        fixtures::watching_reader in(memory);
        SettingsMap settings;
        recorder r;
        walk_result result = walk_container(in, settings, r);
        EXPECT_EQ(result.end, a.end) << a.length << ": " << result.reason;
        EXPECT_FALSE(result.ok) << a.length;
        EXPECT_TRUE(result.tail_read) << a.length;
        EXPECT_LE(in.largest_read, piece_size) << a.length;
        EXPECT_TRUE(settings.empty()) << a.length;
    }
}

// Wherever the walk meets a chunk it cannot read, it fails: it never
// reached the stub record, so the records it did not read go unchecked.
TEST(Walk, AChunkThatCannotBeReadFailsTheWalk) {
    struct row {
        const char* what;
        std::string records;  // between the stub record and the tail chunk
        chunk_role role;
    };
    auto hostile = [](const std::string& data) {
        std::string c;
        append_raw_chunk(c, data, 0xFFFFFFF0u, md5_of(data));
        return c;
    };
    auto chunk = [](const std::string& data) {
        std::string c;
        append_chunk(c, data);
        return c;
    };
    std::string before;
    append_value_record(before, "a", "1");
    const row rows[] = {
        {"a tag", hostile("value") + before, chunk_role::tag},
        {"a tag first", before + hostile("value"), chunk_role::tag},
        {"a name", hostile("b") + chunk("value") + before, chunk_role::name},
        {"a value", hostile("2") + chunk("b") + chunk("value") + before, chunk_role::value},
        {"a file name", hostile("x.exe") + chunk("f") + chunk("file") + before, chunk_role::file_name},
        {"file data", hostile("data") + chunk("x.exe") + chunk("f") + chunk("file") + before, chunk_role::file_data},
    };
    for (const row& r : rows) {
        // The records are written in file order: the hostile chunk comes
        // first, so the walk meets it last.
        std::string file;
        append_stub(file, small_image(), "Trevan.exe");
        file += r.records;
        append_tail(file);
        SettingsMap settings;
        recorder observer;
        walk_result result = walk(file, settings, observer);
        EXPECT_FALSE(result.ok) << r.what;
        EXPECT_TRUE(result.tail_read) << r.what;
        EXPECT_EQ(result.end, walk_end::unreadable_chunk) << r.what;
        EXPECT_NE(result.reason.find(std::string("(") + role_text(r.role) + ")"), std::string::npos)
            << r.what << ": " << result.reason;
        EXPECT_TRUE(observer.created.empty()) << r.what;
    }
}

// Every byte of a stored digest takes part in the comparison.
TEST(Walk, EachOfTheSixteenDigestBytesIsCompared) {
    const std::string good = small_sample();
    recorder reference;
    SettingsMap all;
    ASSERT_TRUE(walk(good, all, reference).ok);
    // The "parameters" value: chunk 7 in walk order.
    const chunk_info& value = reference.chunks.at(6);
    ASSERT_EQ(value.length, 44u);
    for (std::uint32_t i = 0; i < format::digest_size; ++i) {
        for (unsigned char flip : {0x01, 0x80}) {
            std::string bad = good;
            bad[value.offset + value.length + format::length_size + i] ^= static_cast<char>(flip);
            SettingsMap settings;
            recorder r;
            walk_result result = walk(bad, settings, r);
            EXPECT_EQ(result.end, walk_end::digest_mismatch) << "byte " << i;
            EXPECT_EQ(result.chunks, 7u) << "byte " << i;
            EXPECT_EQ(settings.count("parameters"), 0u) << "byte " << i;
        }
    }
}

// A stored name that could leave the folder or open a device ends the walk
// with false; nothing is created for it, and the observer hears of it.
TEST(Walk, StoredNamesMustBeBare) {
    class refusals : public recorder {
    public:
        void file_name_refused(const std::string& name) override { refused.push_back(name); }
        std::vector<std::string> refused;
    };
    for (const char* name : {"..\\x", "..\\..\\x", "a/../../x", "CON", "x.", "nul.txt", "C:x", ""}) {
        std::string file;
        append_stub(file, small_image(), "Trevan.exe");
        append_file_record(file, "bad", name, "planted");
        append_file_record(file, "good", "good.exe", "fine");
        append_tail(file);
        for (bool writes : {true, false}) {
            SettingsMap settings;
            refusals r;
            walk_result result;
            if (writes) {
                result = walk(file, settings, r);
            } else {
                walk_observer quiet;
                memory_reader in(file);
                result = walk_container(in, settings, quiet);
            }
            EXPECT_FALSE(result.ok) << name;
            EXPECT_EQ(result.end, walk_end::bad_file_name) << name;
            EXPECT_NE(result.reason.find("is not a bare file name"), std::string::npos) << result.reason;
            if (writes) {
                EXPECT_EQ(r.created, std::vector<std::string>{"good.exe"}) << name;
                EXPECT_EQ(r.refused, std::vector<std::string>{name}) << name;
            }
        }
    }
}

TEST(Walk, ReadChunkFailsBeforeMovingOrKeepingData) {
    std::string file = pseudo_random_bytes(64, 10);
    append_raw_chunk(file, "abc", 0xFFFFFFF0u, md5_of("abc"));
    memory_reader in(file);
    in.move_to_end();
    std::string data = "untouched";
    EXPECT_EQ(read_chunk(in, data), chunk_status::unreadable);
    EXPECT_EQ(data, "untouched");
    // The position stands behind the length field that was refused.
    EXPECT_EQ(in.position(), file.size() - 16);

    std::string good = pseudo_random_bytes(64, 10);
    append_chunk(good, "abc");
    memory_reader in2(good);
    in2.move_to_end();
    EXPECT_EQ(read_chunk(in2, data), chunk_status::read);
    EXPECT_EQ(data, "abc");
    EXPECT_EQ(in2.position(), 64u);

    good[64] = 'x';
    memory_reader in3(good);
    in3.move_to_end();
    EXPECT_EQ(read_chunk(in3, data), chunk_status::mismatch);
}

TEST(Walk, LargeFileDataIsCheckedAndCopiedInPieces) {
    std::string data = pseudo_random_bytes((10u << 20) + 123, 11);
    std::string file;
    append_stub(file, small_image(), "Trevan.exe");
    append_file_record(file, "big", "big.bin", data);
    append_tail(file);

    memory_reader memory(file);
    fixtures::watching_reader in(memory);
    SettingsMap settings;
    recorder r;
    EXPECT_TRUE(walk_container(in, settings, r).ok);
    EXPECT_EQ(r.files["big.bin"], data);
    EXPECT_EQ(r.finished, 1u);
    EXPECT_LE(in.largest_read, piece_size);
    EXPECT_LE(r.largest_write, piece_size);
    // Every byte of the data is read once: hashed and written in one pass.
    EXPECT_LE(in.bytes_read, file.size() - small_image().size());

    // A mismatch found late in the data: the output is never finished, and
    // no setting.
    std::string bad = file;
    for (const chunk_info& c : r.chunks)
        if (c.role == chunk_role::file_data) bad[c.offset + c.length - 10] ^= 0x01;
    SettingsMap s2;
    recorder r2;
    walk_result result = walk(bad, s2, r2);
    EXPECT_EQ(result.end, walk_end::digest_mismatch);
    EXPECT_EQ(r2.created, std::vector<std::string>{"big.bin"});
    EXPECT_EQ(r2.finished, 0u);
    EXPECT_TRUE(s2.empty());
}

TEST(Walk, OutputFailuresEndTheWalkBeforeTheSettingIsIn) {
    for (bool fail_creation : {true, false}) {
        std::string file;
        append_stub(file, small_image(), "Trevan.exe");
        append_value_record(file, "before", "1");
        append_file_record(file, "f", "f.exe", "data");
        append_value_record(file, "after", "2");
        append_tail(file);
        SettingsMap settings;
        recorder r;
        r.fail_creation = fail_creation;
        r.fail_writes = !fail_creation;
        walk_result result = walk(file, settings, r);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.end, walk_end::output_failed);
        EXPECT_EQ(settings, (SettingsMap{{"after", "2"}}));
        EXPECT_EQ(r.finished, 0u);
    }
}

}  // namespace
}  // namespace trevan
