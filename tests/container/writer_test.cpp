// The writer: records streamed in pieces are the bytes a walk accepts, and
// the sizes it gives in advance are the sizes it writes (the pack tool
// checks a container's size with them before the first byte).
#include <gtest/gtest.h>

#include <algorithm>

#include "container/walk.h"
#include "container/writer.h"
#include "tests/container/container_fixtures.h"

namespace trevan {
namespace {

// The bytes in pieces of an odd size, as a file is read.
chunk_data in_pieces(const std::string& bytes) {
    return [&bytes](chunk_writer& chunk) {
        for (std::size_t at = 0; at < bytes.size(); at += 4093)
            chunk.write(bytes.data() + at, std::min<std::size_t>(4093, bytes.size() - at));
    };
}

TEST(Writer, StreamedRecordsWalkAndTakeTheSizesGiven) {
    const std::string image = fixtures::minimal_pe(4096), data = fixtures::pseudo_random_bytes(300000, 7);
    std::string streamed;
    string_sink sink(streamed);
    container_writer writer(sink);
    auto record = [&](auto write, std::uint64_t expected) {
        const std::size_t before = streamed.size();
        write();
        EXPECT_EQ(streamed.size() - before, expected);
    };
    record([&] { writer.stub_record(in_pieces(image), "Trevan.exe"); }, stub_record_bytes(image.size(), "Trevan.exe"));
    record([&] { writer.file_record(in_pieces(data), "Setup_x64.exe", "installer64"); },
           file_record_bytes(data.size(), "Setup_x64.exe", "installer64"));
    record([&] { writer.value_record("ON", "msilog"); }, value_record_bytes("ON", "msilog"));
    record([&] { writer.tail(); }, tail_bytes());

    std::string whole;
    append_stub(whole, image, "Trevan.exe");
    append_file_record(whole, "installer64", "Setup_x64.exe", data);
    append_value_record(whole, "msilog", "ON");
    append_tail(whole);
    EXPECT_EQ(streamed, whole);

    memory_reader in(streamed);
    SettingsMap settings;
    EXPECT_TRUE(walk_container(in, settings).ok);
    EXPECT_EQ(settings, (SettingsMap{{"installer64", "Setup_x64.exe"}, {"msilog", "ON"}}));
}

}  // namespace
}  // namespace trevan
