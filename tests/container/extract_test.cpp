// The extraction's failures as values, on a file system in memory: which
// failure, its caption, its text with the full path and the system's text,
// and the error code taken at the failing call.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

#include "container/extract.h"
#include "container/writer.h"
#include "tests/container/container_fixtures.h"

namespace trevan {
namespace {

using fixtures::pseudo_random_bytes;

class memory_io : public extraction_io {
public:
    class memory_output : public output_file {
    public:
        memory_output(memory_io& io, std::string& data) : io_(io), data_(data) {}
        bool write(const void* data, std::size_t size) override {
            if (io_.write_error) return false;
            data_.append(static_cast<const char*>(data), size);
            return true;
        }
        bool finish() override {
            ++io_.finished;
            return io_.finish_error == 0;
        }
        unsigned long error() const override { return io_.write_error ? io_.write_error : io_.finish_error; }

    private:
        memory_io& io_;
        std::string& data_;
    };

    // Tells each read's size to a callback before it reads.
    class observed_reader : public memory_reader {
    public:
        observed_reader(std::string data, std::function<void(std::uint32_t)>& on_read)
            : memory_reader(std::move(data)), on_read_(on_read) {}
        bool read(void* destination, std::uint32_t size) override {
            if (on_read_) on_read_(size);
            return memory_reader::read(destination, size);
        }

    private:
        std::function<void(std::uint32_t)>& on_read_;
    };

    vennic::error_or<std::unique_ptr<archive_reader>> open_archive(const std::string& path) override {
        auto it = archives.find(path);
        if (it == archives.end()) return vennic::system_error{2};
        return std::unique_ptr<archive_reader>(std::make_unique<observed_reader>(it->second, on_read));
    }
    vennic::error_or<std::unique_ptr<output_file>> create_output(const std::string& file_name) override {
        if (create_error) return vennic::system_error{create_error};
        files[file_name].clear();
        return std::unique_ptr<output_file>(std::make_unique<memory_output>(*this, files[file_name]));
    }
    unsigned long last_error() override { return 131; }
    std::string error_text(unsigned long code) override { return "text " + std::to_string(code); }

    std::map<std::string, std::string> archives;
    std::map<std::string, std::string> files;
    unsigned long create_error = 0;
    unsigned long write_error = 0;
    unsigned long finish_error = 0;
    std::function<void(std::uint32_t)> on_read;
    int finished = 0;  // outputs finished
};

std::string small_container() {
    std::string c;
    append_stub(c, pseudo_random_bytes(300, 1), "Trevan.exe");
    append_file_record(c, "installer64", "Setup_x64.exe", "setup data");
    append_value_record(c, "executable64", "%installer64%");
    append_tail(c);
    return c;
}

TEST(Extraction, WritesFilesIntoTheWorkFolderAndAddsSettings) {
    memory_io io;
    io.archives["C:\\own.exe"] = small_container();
    SettingsMap settings;
    extraction_result r = extract_payload("C:\\own.exe", "C:\\T\\W1\\", settings, io);
    EXPECT_EQ(r.end, extraction_end::complete);
    EXPECT_FALSE(r.failure.has_value());
    EXPECT_EQ(io.files, (std::map<std::string, std::string>{{"Setup_x64.exe", "setup data"}}));
    EXPECT_EQ(settings, (SettingsMap{{"executable64", "%installer64%"}, {"installer64", "Setup_x64.exe"}}));
}

TEST(Extraction, FailuresNameTheCallThePathAndTheSystemsText) {
    struct row {
        const char* what;
        std::string archive;  // empty: no such file
        unsigned long create_error, write_error, finish_error;
        vennic::failure expected;
    };
    // The texts in other languages, and what fills their placeholders.
    using vennic::ui_text;
    const auto told = [](const char* caption, const char* text, unsigned long error, ui_text caption_text,
                         const char* path, const char* error_text) {
        return vennic::failure{caption, text, error, caption_text, ui_text::file_error_text, {path, error_text}};
    };
    const char* output = "C:\\T\\W1\\Setup_x64.exe";
    const row rows[] = {
        {"archive missing", "", 0, 0, 0,
         told("Failed to open archive!", "File: C:\\own.exe\rError: text 2", 2, ui_text::open_archive_caption,
              "C:\\own.exe", "text 2")},
        {"no container", std::string(20, 'x'), 0, 0, 0,
         told("Failed to initialize archive!", "File: C:\\own.exe\rError: text 131", 131,
              ui_text::initialize_archive_caption, "C:\\own.exe", "text 131")},
        {"output not created", small_container(), 5, 0, 0,
         told("Failed to extract file!", "File: C:\\T\\W1\\Setup_x64.exe\rError: text 5", 5,
              ui_text::extract_file_caption, output, "text 5")},
        {"write failed", small_container(), 0, 112, 0,
         told("Failed to extract file!", "File: C:\\T\\W1\\Setup_x64.exe\rError: text 112", 112,
              ui_text::extract_file_caption, output, "text 112")},
        {"close failed", small_container(), 0, 0, 29,
         told("Failed to extract file!", "File: C:\\T\\W1\\Setup_x64.exe\rError: text 29", 29,
              ui_text::extract_file_caption, output, "text 29")},
    };
    for (const row& r : rows) {
        memory_io io;
        if (!r.archive.empty()) io.archives["C:\\own.exe"] = r.archive;
        io.create_error = r.create_error;
        io.write_error = r.write_error;
        io.finish_error = r.finish_error;
        SettingsMap settings;
        extraction_result result = extract_payload("C:\\own.exe", "C:\\T\\W1\\", settings, io);
        EXPECT_EQ(result.end, extraction_end::invalid) << r.what;
        ASSERT_TRUE(result.failure.has_value()) << r.what;
        EXPECT_EQ(*result.failure, r.expected) << r.what;
    }
}

// A stored name that is not bare: the box of an output that cannot be made,
// with the path as it would have been formed and ERROR_INVALID_NAME; no
// output is created for it, and none after it.
TEST(Extraction, ANameThatIsNotBareIsRefusedBeforeAnythingIsCreated) {
    for (const char* name : {"..\\x", "..\\..\\x", "a/../../x", "CON", "x."}) {
        std::string c;
        append_stub(c, pseudo_random_bytes(300, 1), "Trevan.exe");
        append_file_record(c, "later", "later.exe", "2");
        append_file_record(c, "installer64", name, "planted");
        append_tail(c);
        memory_io io;
        io.archives["C:\\own.exe"] = c;
        SettingsMap settings;
        extraction_result r = extract_payload("C:\\own.exe", "C:\\T\\W1\\", settings, io);
        EXPECT_EQ(r.end, extraction_end::invalid) << name;
        ASSERT_TRUE(r.failure.has_value()) << name;
        const std::string path = std::string("C:\\T\\W1\\") + name;
        EXPECT_EQ(*r.failure, (vennic::failure{"Failed to extract file!", "File: " + path + "\rError: text 123", 123,
                                               vennic::ui_text::extract_file_caption,
                                               vennic::ui_text::file_error_text, {path, "text 123"}}))
            << name;
        EXPECT_TRUE(io.files.empty()) << name;
    }
}

TEST(Extraction, ADamagedChunkIsNoFailureToShow) {
    memory_io io;
    std::string c = small_container();
    c[c.size() - 200] ^= 0x01;
    io.archives["C:\\own.exe"] = c;
    SettingsMap settings;
    extraction_result r = extract_payload("C:\\own.exe", "C:\\T\\W1\\", settings, io);
    EXPECT_EQ(r.end, extraction_end::invalid);
    EXPECT_FALSE(r.failure.has_value());
}

// A container whose setup program spans pieces: 3 whole ones and a part.
std::string container_in_pieces(const std::string& data) {
    std::string c;
    append_stub(c, pseudo_random_bytes(300, 1), "Trevan.exe");
    append_file_record(c, "installer64", "Setup_x64.exe", data);
    append_value_record(c, "executable64", "%installer64%");
    append_tail(c);
    return c;
}

// The window reads the progress on another thread at any moment; here it is
// read at every read of the archive.
TEST(Extraction, ReportsTheBytesCheckedPieceByPiece) {
    const std::string data = pseudo_random_bytes(3 * piece_size + 1000, 2);
    const std::string c = container_in_pieces(data);
    memory_io io;
    io.archives["C:\\own.exe"] = c;
    extraction_progress progress;
    std::vector<std::uint32_t> seen, before_pieces;
    io.on_read = [&](std::uint32_t size) {
        seen.push_back(progress.checked());
        if (size == piece_size) before_pieces.push_back(progress.checked());
    };
    SettingsMap settings;
    const extraction_result r = extract_payload("C:\\own.exe", "C:\\T\\W1\\", settings, io, &progress);
    ASSERT_EQ(r.end, extraction_end::complete);
    EXPECT_EQ(progress.total(), c.size());
    EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
    // Each piece counts as soon as it is checked, not only the whole chunk.
    ASSERT_EQ(before_pieces.size(), 3u);
    EXPECT_EQ(before_pieces[1] - before_pieces[0], piece_size);
    EXPECT_EQ(before_pieces[2] - before_pieces[1], piece_size);
    // All chunk data read, which leaves out the stub and the trailers.
    EXPECT_GT(progress.checked(), data.size());
    EXPECT_LT(progress.checked(), c.size() - 300);
}

// A cancel stops the walk before its next read of chunk data: a setup
// program cut off is never finished and adds no setting; one whose last
// piece was read is complete, and the walk stops at the chunk after it.
TEST(Extraction, ACancelStopsTheWalkBeforeItsNextPiece) {
    const std::string c = container_in_pieces(pseudo_random_bytes(3 * piece_size + 1000, 2));
    const SettingsMap value_only = {{"executable64", "%installer64%"}};
    const SettingsMap both = {{"executable64", "%installer64%"}, {"installer64", "Setup_x64.exe"}};
    struct row {
        const char* what;
        int cancel_after_pieces;  // -1: before the extraction starts
        SettingsMap settings;
        std::size_t outputs;
        int finished;
    };
    const row rows[] = {
        {"before the start", -1, {}, 0, 0},
        {"in the first piece", 1, value_only, 1, 0},
        {"in the last piece", 4, both, 1, 1},
    };
    for (const row& r : rows) {
        memory_io io;
        io.archives["C:\\own.exe"] = c;
        extraction_progress progress;
        if (r.cancel_after_pieces < 0) progress.cancel();
        int pieces = 0;
        io.on_read = [&](std::uint32_t size) {
            if (size >= 1000 && ++pieces == r.cancel_after_pieces) progress.cancel();
        };
        SettingsMap settings;
        const extraction_result result = extract_payload("C:\\own.exe", "C:\\T\\W1\\", settings, io, &progress);
        EXPECT_EQ(result.end, extraction_end::cancelled) << r.what;
        EXPECT_FALSE(result.failure.has_value()) << r.what;
        EXPECT_EQ(pieces, std::max(r.cancel_after_pieces, 0)) << r.what;
        EXPECT_EQ(settings, r.settings) << r.what;
        EXPECT_EQ(io.files.size(), r.outputs) << r.what;
        EXPECT_EQ(io.finished, r.finished) << r.what;
    }
}

}  // namespace
}  // namespace trevan
