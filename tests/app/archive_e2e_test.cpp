// The program's own file under Wine, as a hostile unprivileged process or a
// broken download could leave it: only the payload that the signature covers
// runs, a damaged file fails at once with the same boxes, and no stored name
// writes outside the work folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "support/core/little_endian.h"
#include "tests/app/run_fixture.h"
#include "tests/container/container_fixtures.h"
#include "tests/signing/test_signer.h"

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

// Fields of a signed file, read and changed in place.
std::uint32_t u32_at(const std::string& bytes, std::size_t at) { return vennic::le_view(bytes).u32(at).value(); }
using vennic::put_le32;

// The system's text for an error code, as the program gets it.
std::string error_text(unsigned code) {
    const std::string result = fresh_test_folder(".error" + std::to_string(code)) + "/text";
    run_options options;
    options.args = "--error-text " + std::to_string(code) + " \"" + windows_path(result) + "\"";
    run_program(win64_dir() + "/tests/container/extract_probe.exe", options);
    return read_file(result);
}

class Archive : public ProgramRun {
protected:
    // Signs file with the test certificate, made on first use; returns the
    // signed file.
    std::string sign(const std::string& file) {
        if (!signer_) signer_.emplace(dir_);
        EXPECT_TRUE(signer_->made()) << signer_->output();
        const std::string out = file + ".signed.exe";
        EXPECT_TRUE(signer_->sign(file, out)) << signer_->output();
        return out;
    }

    bool signature_verifies(const std::string& file) { return signer_ && signer_->verifies(file); }

    std::optional<fixtures::test_signer> signer_;

    // The container's failure to initialise, then the invalid archive.
    std::vector<message_box> search_failed(const std::string& program) const {
        // No call of the search fails: the error is the open's, none.
        return {{"Failed to initialize archive!", "File: " + windows_path(program) + "\rError: " + error_text(0)},
                invalid_archive};
    }

    // Another packed program, of the same stub, whose payload a user would
    // rather have run elevated: its parameters tell it apart.
    std::string build_other(const std::string& output) const {
        std::vector<pack::record> records = sample_files();
        records.push_back(pack::value_record("executable64", "%installer64%"));
        records.push_back(pack::value_record("executable32", "%installer32%"));
        records.push_back(pack::value_record("parameters", "/V\"OTHER_PAYLOAD=1\""));
        pack::build_container(program_path(), records, output);
        return output;
    }

    // Whether the run started the setup program of sample_records(), once.
    void expect_the_vendors_payload(const run_result& r, const std::string& what) const {
        EXPECT_EQ(r.exit_code, 0u) << what;
        EXPECT_TRUE(r.boxes.empty()) << what;
        const std::vector<standin_record> started = records();
        ASSERT_EQ(started.size(), 1u) << what;
        EXPECT_NE(started[0].parameters().find("WEBINSTALLER=1"), std::string::npos) << started[0].parameters();
        EXPECT_EQ(started[0].parameters().find("OTHER_PAYLOAD"), std::string::npos) << started[0].parameters();
    }

    // Checks that a run of the file ended before anything was started.
    void expect_refused(const std::string& program, const std::vector<message_box>& boxes, const std::string& what) {
        run_result r = run(program);
        EXPECT_EQ(r.exit_code, 1u) << what;
        EXPECT_EQ(r.boxes, boxes) << what;
        EXPECT_TRUE(records().empty()) << what;
        EXPECT_TRUE(work_folders_left().empty()) << what;
    }
};

// A second container in the certificate table of a signed file, which the
// signature does not cover: only the table's length fields change, the
// signature still verifies, and a search from the end of the file would
// find the hidden container first. The signed one runs, the hidden never.
TEST_F(Archive, OnlyTheSignedPayloadRuns) {
    const std::string signed_program = sign(build(sample_records()));
    std::vector<pack::record> hidden_records = {
        pack::file_record("installer32", "Hidden.exe", standin_path()),
        pack::file_record("installer64", "Hidden_x64.exe", standin_path()),
        pack::value_record("executable32", "%installer32%"),
        pack::value_record("executable64", "%installer64%"),
    };
    const std::string hidden_file = dir_ + "/hidden.exe";
    pack::build_container(program_path(), hidden_records, hidden_file);

    std::string bytes = read_file(signed_program);
    const std::size_t entry = fixtures::pe_offsets_of(bytes).value().directory_entry(certificate_directory);
    const std::uint32_t table = u32_at(bytes, entry);
    ASSERT_EQ(std::size_t(table) + u32_at(bytes, entry + 4), bytes.size());
    std::string hidden = read_file(hidden_file);
    hidden.append((8 - hidden.size() % 8) % 8, '\0');
    bytes += hidden;
    put_le32(bytes, entry + 4, u32_at(bytes, entry + 4) + static_cast<std::uint32_t>(hidden.size()));
    put_le32(bytes, table, u32_at(bytes, table) + static_cast<std::uint32_t>(hidden.size()));
    const std::string tampered = dir_ + "/Tampered.exe";
    write_file(tampered, bytes);
    ASSERT_TRUE(signature_verifies(signed_program));
    ASSERT_TRUE(signature_verifies(tampered)) << "the attack needs a signature that still verifies";

    for (const std::string& program : {signed_program, tampered}) {
        fs::remove(records_file_);
        run_result r = run(program, "", {{"TREVAN_STANDIN_EXIT", "5"}});
        EXPECT_EQ(r.exit_code, 5u) << program;
        EXPECT_TRUE(r.boxes.empty()) << program;
        std::vector<standin_record> started = records();
        ASSERT_EQ(started.size(), 1u) << program;
        EXPECT_TRUE(std::regex_search(started[0].path, std::regex(R"(\\VorbelquintSetup_x64\.exe$)")))
            << started[0].path;
        EXPECT_TRUE(work_folders_left().empty());
    }
}

// A download cut short, of a file of several MiB, signed or not: the run
// fails at the search, before any chunk is read.
TEST_F(Archive, ATruncatedFileFailsAtOnce) {
    write_file(dir_ + "/payload.bin", std::string(6u << 20, 'p'));
    std::vector<pack::record> records = sample_records();
    records.push_back(pack::file_record("payload", "payload.bin", dir_ + "/payload.bin"));
    const std::string program = build(records);
    const std::string whole = read_file(program);
    const std::string signed_whole = read_file(sign(program));
    ASSERT_GT(whole.size(), 6u << 20);

    struct cut {
        const char* what;
        std::string bytes;
    };
    const cut cuts[] = {
        {"one byte short", whole.substr(0, whole.size() - 1)},
        {"inside the tail chunk", whole.substr(0, whole.size() - 30)},
        {"in the middle of the payload", whole.substr(0, whole.size() / 2)},
        {"signed, one byte short", signed_whole.substr(0, signed_whole.size() - 1)},
        {"signed, without its certificate table", signed_whole.substr(0, whole.size())},
    };
    for (const cut& c : cuts) {
        const std::string file = dir_ + "/Truncated.exe";
        write_file(file, c.bytes);
        expect_refused(file, search_failed(file), c.what);
    }
}

// An unsigned file has no table: its container must end at its end.
TEST_F(Archive, BytesBehindTheContainerOfAnUnsignedFile) {
    const std::string whole = read_file(build(sample_records()));
    for (const std::string& behind : {std::string(1, '\0'), std::string(7, '\0'), std::string("appended")}) {
        const std::string file = dir_ + "/Behind.exe";
        write_file(file, whole + behind);
        expect_refused(file, search_failed(file), std::to_string(behind.size()) + " bytes");
    }
}

// A chunk that cannot be read before the stub record: the run never starts
// anything and shows only the invalid archive.
TEST_F(Archive, AChunkThatCannotBeReadIsAnInvalidArchive) {
    std::string container;
    append_stub(container, read_file(program_path()), "Trevan.exe");
    append_file_record(container, "installer64", "VorbelquintSetup_x64.exe", read_file(standin_path()));
    append_raw_chunk(container, "", 0xFFFFFFFFu, md5_of(""));
    for (const pack::record& v : sample_values()) append_value_record(container, v.name, v.text);
    append_tail(container);
    const std::string file = dir_ + "/Setup.exe";
    write_file(file, container);
    expect_refused(file, {invalid_archive}, "unreadable chunk");
}

// Names that would leave the work folder or open a device: the box of a
// file that cannot be made, with ERROR_INVALID_NAME, and nothing written.
TEST_F(Archive, StoredNamesStayInTheWorkFolder) {
    const std::string invalid_name = error_text(123);
    for (const std::string name : {"..\\x", "..\\..\\x", "a/../../x", "CON", "x."}) {
        std::string container;
        append_stub(container, read_file(program_path()), "Trevan.exe");
        append_file_record(container, "installer32", "VorbelquintSetup.exe", read_file(standin_path()));
        append_file_record(container, "installer64", name, "planted");
        for (const pack::record& v : sample_values()) append_value_record(container, v.name, v.text);
        append_tail(container);
        const std::string file = dir_ + "/Setup.exe";
        write_file(file, container);

        run_result r = run(file);
        EXPECT_EQ(r.exit_code, 1u) << name;
        ASSERT_EQ(r.boxes.size(), 2u) << name;
        EXPECT_EQ(r.boxes[0].caption, "Failed to extract file!");
        const std::regex text("File: " + regex_escape(temp_windows()) + R"(VORBELQ-?\d+\\)" + regex_escape(name) +
                              "\rError: " + regex_escape(invalid_name));
        EXPECT_TRUE(std::regex_match(r.boxes[0].text, text)) << r.boxes[0].text;
        EXPECT_EQ(r.boxes[1], invalid_archive) << name;
        EXPECT_TRUE(records().empty()) << name;
        EXPECT_TRUE(work_folders_left().empty()) << name;
        // Nothing planted anywhere around the work folder: the names lead
        // at most two folders up from it, to this test's folder.
        for (const auto& entry : fs::recursive_directory_iterator(dir_))
            if (entry.path().filename() == "x") ADD_FAILURE() << name << " planted " << entry.path();
        EXPECT_FALSE(fs::exists(fs::path(dir_).parent_path() / "x")) << name;
    }
}

// A user process renames the running program's file away and puts another
// packed program at its path while the run waits for its log (a log mutex
// that any user may hold): the run holds its file from its first
// instruction, so the rename is refused and its own payload runs.
TEST_F(Archive, ASwapWhileTheLogMutexIsHeldIsRefused) {
    const std::string program = build(sample_records());
    const std::string other = build_other(dir_ + "/Other.exe");
    std::string name = "log-" + temp_windows() + "Trevan";
    std::replace(name.begin(), name.end(), '\\', '_');
    mutex_holder log_lock("Global\\" + name);

    program_run running(program, options());
    // The log file is opened right before the wait, long after the
    // program's own file.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(temp_ + "/Trevan.log.txt") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::string swap = intruder_swap(program, other);
    const run_result r = running.wait();
    EXPECT_EQ(swap.rfind("refused", 0), 0u) << swap;
    expect_the_vendors_payload(r, "swap while waiting");
}

// The same swap in the moment between the program's start and its first
// instruction, which no hold can close: the file at the program's path is
// then not the one it runs from, which the run proves by the file's
// identity, so it reads nothing of it and ends as for a file it cannot open.
TEST_F(Archive, AFileSwappedInBeforeTheProgramRunsIsNeverRead) {
    const std::string program = build(sample_records());
    const std::string other = build_other(dir_ + "/Other.exe");
    run_options o = options();
    o.before_resume = intruder_swap_command(program, other, dir_ + "/intruder.txt");
    const run_result r = run_program(program, o);
    ASSERT_EQ(read_file(dir_ + "/intruder.txt"), "swapped\n") << "the swap itself must succeed";
    EXPECT_EQ(r.exit_code, 1u);
    const message_box not_proven{"Failed to open archive!",
                                 "File: " + windows_path(program) + "\rError: " + error_text(1006)};
    EXPECT_EQ(r.boxes, (std::vector<message_box>{not_proven, invalid_archive}));
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(work_folders_left().empty());
}

// A program whose name the ANSI code page (1252 here) lacks: its ANSI path
// is a look-alike that names another file, which a user put beside it. The
// run opens itself by its UTF-16 path and never reads the twin.
TEST_F(Archive, TheBestFitTwinOfTheProgramsNameIsNeverRead) {
    const std::string program = dir_ + "/Setup\xC5\x81\xC3\xB3" "d\xC5\xBA.exe";  // SetupŁódź.exe
    fs::rename(build(sample_records()), program);
    build_other(dir_ + "/SetupL\xC3\xB3" "dz.exe");  // what "SetupLódź.exe" best-fits to
    const run_result r = run(program);
    expect_the_vendors_payload(r, "best-fit twin");
}

}  // namespace
}  // namespace trevan::harness
