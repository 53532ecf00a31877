// extract_payload under wine64, through a probe program of the 64-bit tree:
// files and settings, the three failure boxes with their exact texts, a
// signed container, a program with nothing appended.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "container/file_reader.h"
#include "container/md5.h"
#include "container/walk.h"
#include "tests/container/container_fixtures.h"
#include "tests/harness/wine_harness.h"
#include "tests/signing/test_signer.h"
#include "container/writer.h"

namespace trevan::harness {
namespace {

using namespace trevan::fixtures;

namespace fs = std::filesystem;

std::string probe() { return win64_dir() + "/tests/container/extract_probe.exe"; }

struct probe_run {
    run_result run;
    bool ok = false;
    SettingsMap settings;
};

// Runs the probe on archive (Linux path) with the work folder work (Linux
// path; passed with its trailing backslash).
probe_run extract(const std::string& archive, const std::string& work, const std::vector<std::string>& presets = {}) {
    std::string result = work + ".result";
    fs::remove(result);
    run_options options;
    // A trailing backslash before the closing quote is written twice.
    options.args = "\"" + windows_path(archive) + "\" \"" + windows_path(work) + "\\\\\" \"" + windows_path(result) + "\"";
    for (const std::string& p : presets) options.args += " \"" + p + "\"";
    probe_run r;
    r.run = run_program(probe(), options);
    std::string text = read_file(result);
    r.ok = text.rfind("result true\n", 0) == 0;
    std::size_t at = text.find('\n');
    while (at != std::string::npos && at + 1 < text.size()) {
        std::size_t end = text.find('\n', at + 1);
        std::string line = text.substr(at + 1, end - at - 1);
        r.settings[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        at = end;
    }
    return r;
}

// The system's text for an error code, as the program itself gets it.
std::string error_text(unsigned code) {
    std::string result = fresh_test_folder(".error") + "/text";
    run_options options;
    options.args = "--error-text " + std::to_string(code) + " \"" + windows_path(result) + "\"";
    run_program(probe(), options);
    return read_file(result);
}

class Extraction : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fresh_test_folder();
        work_ = folder_ + "/work";
        fs::create_directories(work_);
        data64_ = pseudo_random_bytes(3000001, 64);
        data32_ = pseudo_random_bytes(70000, 32);
        write_file(folder_ + "/setup64.bin", data64_);
        write_file(folder_ + "/setup32.bin", data32_);
    }

    // A container behind the probe program itself, in the shipped layout.
    std::string build(const std::string& name) {
        std::string out = folder_ + "/" + name;
        write_file(out, sample_container(read_file(probe()), data32_, data64_));
        return out;
    }

    std::string folder_, work_, data64_, data32_;
};

TEST_F(Extraction, WritesFilesAndKeepsPresetSettings) {
    std::string archive = build("packed.exe");
    write_file(work_ + "/VorbelquintSetup.exe", std::string(200000, 'o'));  // replaced
    probe_run r = extract(archive, work_, {"executable32=preset", "source=Z:\\w"});
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.run.boxes.empty());
    SettingsMap expected = sample_settings();
    expected["executable32"] = "preset";
    expected["source"] = "Z:\\w";
    EXPECT_EQ(r.settings, expected);
    EXPECT_EQ(read_file(work_ + "/VorbelquintSetup_x64.exe"), data64_);
    EXPECT_EQ(read_file(work_ + "/VorbelquintSetup.exe"), data32_);
}

TEST_F(Extraction, FailureBoxes) {
    std::string missing = folder_ + "/missing.exe";
    std::string no_container = folder_ + "/plain.bin";
    // Too short for a tail chunk. The search makes no failing call: the
    // error is the open's, none.
    write_file(no_container, std::string(20, 'x'));
    // A truncated download, and bytes behind an unsigned container.
    const std::string packed = read_file(build("packed.exe"));
    std::string truncated = folder_ + "/truncated.exe";
    write_file(truncated, packed.substr(0, packed.size() - 1000));
    std::string behind = folder_ + "/behind.exe";
    write_file(behind, packed + std::string(8, '\0'));
    std::string bad_name = folder_ + "/bad-name.exe";
    std::string c;
    append_stub(c, pseudo_random_bytes(1000, 1), "Trevan.exe");
    append_file_record(c, "later", "later.exe", "2");
    append_file_record(c, "installer64", "missing\\VorbelquintSetup_x64.exe", "data");
    append_value_record(c, "msilog", "ON");
    append_tail(c);
    write_file(bad_name, c);

    struct box_case {
        std::string archive;
        message_box box;
        SettingsMap settings;
    };
    const box_case cases[] = {
        {missing, {"Failed to open archive!", "File: " + windows_path(missing) + "\rError: " + error_text(2)}, {}},
        {no_container,
         {"Failed to initialize archive!", "File: " + windows_path(no_container) + "\rError: " + error_text(0)},
         {}},
        {truncated,
         {"Failed to initialize archive!", "File: " + windows_path(truncated) + "\rError: " + error_text(0)},
         {}},
        {behind, {"Failed to initialize archive!", "File: " + windows_path(behind) + "\rError: " + error_text(0)}, {}},
        // A stored name with a folder part is refused before anything is
        // created, and adds no setting: ERROR_INVALID_NAME.
        {bad_name,
         {"Failed to extract file!",
          "File: " + windows_path(work_) + "\\missing\\VorbelquintSetup_x64.exe\rError: " + error_text(123)},
         {{"msilog", "ON"}}},
    };
    for (const box_case& c : cases) {
        probe_run r = extract(c.archive, work_);
        EXPECT_FALSE(r.ok) << c.box.caption;
        ASSERT_EQ(r.run.boxes.size(), 1u) << c.box.caption;
        EXPECT_EQ(r.run.boxes[0].caption, c.box.caption);
        EXPECT_EQ(r.run.boxes[0].text, c.box.text);
        EXPECT_EQ(r.settings, c.settings) << c.box.caption;
    }
    EXPECT_FALSE(fs::exists(work_ + "/later.exe"));
    EXPECT_TRUE(fs::is_empty(work_));
    EXPECT_NE(error_text(2), error_text(123));
}

TEST_F(Extraction, DamageStopsTheWalkWithoutABox) {
    std::string archive = build("packed.exe");
    std::string bytes = read_file(archive);
    // The first byte of installer32's data: met after installer64 is done.
    file_reader in(archive);
    struct find_data : walk_observer {
        void chunk_read(const chunk_info& c) override {
            if (c.role == chunk_role::file_data) offsets.push_back(c.offset);
        }
        std::vector<std::uint32_t> offsets;
    } found;
    SettingsMap ignored;
    ASSERT_TRUE(walk_container(in, ignored, found).ok);
    ASSERT_EQ(found.offsets.size(), 2u);
    bytes[found.offsets[1]] ^= 0x01;
    write_file(archive, bytes);

    probe_run r = extract(archive, work_);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.run.boxes.empty());
    EXPECT_EQ(read_file(work_ + "/VorbelquintSetup_x64.exe"), data64_);
    // The damaged file was written as it was read and never finished: no
    // setting names it, and the run starts only files it holds.
    EXPECT_EQ(r.settings.count("installer64"), 1u);
    EXPECT_EQ(r.settings.count("installer32"), 0u);
}

TEST_F(Extraction, SignedContainerStillWalks) {
    std::string archive = build("packed.exe");
    std::string signed_archive = folder_ + "/signed.exe";
    fixtures::test_signer signer(folder_);
    ASSERT_TRUE(signer.made()) << signer.output();
    ASSERT_TRUE(signer.sign(archive, signed_archive)) << signer.output();

    std::string image = read_file(probe());
    std::string bytes = read_file(signed_archive);
    ASSERT_GT(bytes.size(), read_file(archive).size());
    // Signing changed the image's header, so the never-read image chunk no
    // longer matches its digest.
    EXPECT_NE(md5_digest(bytes.substr(0, image.size())).digest(), bytes.substr(image.size() + 4, 16));

    file_reader in(signed_archive);
    SettingsMap settings;
    EXPECT_TRUE(walk_container(in, settings).ok);
    EXPECT_EQ(settings, sample_settings());

    probe_run r = extract(signed_archive, work_);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.run.boxes.empty());
    EXPECT_EQ(read_file(work_ + "/VorbelquintSetup_x64.exe"), data64_);
}

// The marker text stands in the program's own constant data, but no tail
// chunk ends at the end of its file: the search fails.
TEST_F(Extraction, ProgramWithNothingAppended) {
    probe_run r = extract(probe(), work_);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.run.boxes, (std::vector<message_box>{{"Failed to initialize archive!",
                                                      "File: " + windows_path(probe()) + "\rError: " + error_text(0)}}));
    EXPECT_TRUE(fs::is_empty(work_));
}

}  // namespace
}  // namespace trevan::harness
