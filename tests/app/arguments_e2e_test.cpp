// The program's own arguments under Wine: taken from the UTF-16 command
// line, passed on only where the ANSI code page (1252 here) holds them
// exactly, and never made into other arguments by a look-alike.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/run_fixture.h"

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

const message_box not_started{"ShellExecuteEx failed", "Unable to spawn process"};

class Arguments : public ProgramRun {
protected:
    std::string log() const { return read_file(temp_ + "/Trevan.log.txt"); }
};

// U+FF02, the fullwidth quotation mark, in UTF-8 (the runner's text).
const std::string fullwidth_quote = "\xef\xbc\x82";

TEST_F(Arguments, TextTheCodePageCannotHoldStartsNothing) {
    const std::string program = build(sample_records());
    struct row {
        std::string args;
        bool unattended;
    };
    const row rows[] = {
        // One argument; best fit would make it three, /S among them, and the
        // run unattended.
        {"\"/D=C:\\Program Files\\Vendor" + fullwidth_quote + " /S\"", false},
        // Decided from the text as it is: this one asks for an unattended run.
        {"/S /D=C:\\Vendor" + fullwidth_quote, true},
        // Cyrillic, which code page 1252 lacks, in a property.
        {"/V\"NAME=\xd0\x96\"", false},
    };
    for (const row& r : rows) {
        fs::remove(temp_ + "/Trevan.log.txt");
        const run_result result = run(program, r.args);
        EXPECT_EQ(result.exit_code, 1u) << r.args;
        EXPECT_EQ(result.boxes, r.unattended ? std::vector<message_box>{} : std::vector<message_box>{not_started})
            << r.args;
        EXPECT_TRUE(records().empty()) << r.args;
        // Nothing extracted, no work folder: only the log is left.
        EXPECT_EQ(result.temp_entries, std::vector<std::string>{"Trevan.log.txt"}) << r.args;
        const std::string text = log();
        EXPECT_NE(text.find("The arguments hold characters that the ANSI code page cannot hold exactly; nothing "
                            "is started."),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find(std::string(r.unattended ? "Message box (not shown, unattended): " : "Message box: ") +
                            "ShellExecuteEx failed: Unable to spawn process"),
                  std::string::npos)
            << text;
    }
}

TEST_F(Arguments, TextTheCodePageHoldsReachesTheSetupProgramExactly) {
    std::vector<pack::record> container = sample_files();
    container.push_back(pack::value_record("executable64", "%installer64%"));
    const std::string program = build(container);
    struct row {
        std::string args;      // UTF-8, as the runner gives them
        std::string received;  // code page 1252, as the setup program reads them
    };
    const row rows[] = {
        {"Caf\xc3\xa9", "Caf\xe9"},
        {"\"/D=C:\\Program Files\\Amberlyn Caf\xc3\xa9\" /Q", "\"/D=C:\\Program Files\\Amberlyn Caf\xe9\" /Q"},
        // A first argument beyond ASCII keeps its first character.
        {"\xc3\x89lan \xc2\xb5", "\xc9lan \xb5"},
        // ASCII as it always was, tabs and trailing blanks included.
        {"/S\t/Q  ", "/S\t/Q  "},
    };
    for (const row& r : rows) {
        const run_result result = run(program, r.args);
        EXPECT_TRUE(result.boxes.empty()) << r.args;
        EXPECT_EQ(result.exit_code, 0u) << r.args;
        const std::vector<standin_record> started = records();
        fs::remove(records_file_);
        ASSERT_EQ(started.size(), 1u) << r.args;
        EXPECT_EQ(started[0].parameters(), r.received + " /V\"\"") << r.args;
    }
}

}  // namespace
}  // namespace trevan::harness
