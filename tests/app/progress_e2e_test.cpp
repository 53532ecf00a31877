// The progress window on the session's display: a run that takes long (the
// program variant that reads its own file at 32 MiB a second) shows it with
// the branded product name, and Cancel or closing it ends the run with 1602;
// a fast run and a silent one show none.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/app/run_fixture.h"

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

const char product[] = "Amberlyn Caf\xC3\xA9";

class Progress : public ProgramRun {
protected:
    void TearDown() override { fs::remove(large_program()); }

    std::string large_program() const { return dir_ + "/Large.exe"; }

    // The slowed program, branded, with a setup program of 256 MiB: its
    // extraction takes about 8 s.
    std::string build_large() {
        pack::build_options o;
        o.brand.product_name = product;
        pack::build_container(win64_dir() + "/tests/app/Trevan-slow.exe",
                              {pack::file_record("installer64", "Setup_x64.exe", padded_standin(256u << 20)),
                               pack::value_record("executable64", "%installer64%")},
                              large_program(), o);
        return large_program();
    }
};

TEST_F(Progress, CancelOrClosingTheWindowEndsTheRunWith1602) {
    const std::string program = build_large();
    struct row {
        const char* what;
        const char* press;
        bool close;
    };
    for (const row& r : {row{"cancel", "Cancel", false}, row{"close", "", true}}) {
        fs::remove(temp_ + "/Trevan.log.txt");
        run_options o = options();
        o.watch.press = r.press;
        o.watch.close = r.close;
        const run_result result = run_through_progress(program, o, dir_ + "/" + r.what + ".png");

        ASSERT_TRUE(result.window.has_value()) << r.what;
        const shown_window& w = *result.window;
        // Not before the extraction has run for a second.
        EXPECT_GE(w.ms, 1000u) << r.what;
        EXPECT_EQ(w.title, product) << r.what;
        EXPECT_EQ(w.text_of("Static"), std::string("Preparing ") + product + " setup\xE2\x80\xA6") << r.what;
        ASSERT_EQ(w.controls.size(), 2u) << r.what;
        EXPECT_EQ(w.controls[1].text, "Cancel") << r.what;
        EXPECT_TRUE(w.controls[1].enabled) << r.what;

        EXPECT_EQ(result.exit_code, 1602u) << r.what;
        EXPECT_TRUE(result.boxes.empty()) << r.what;
        EXPECT_TRUE(records().empty()) << r.what;
        EXPECT_TRUE(work_folders_left().empty()) << r.what;
        EXPECT_NE(read_file(temp_ + "/Trevan.log.txt").find("The user cancelled the setup.\r\n"), std::string::npos)
            << r.what;
    }
}

TEST_F(Progress, AFastRunAndASilentRunShowNone) {
    struct row {
        const char* what;
        std::string program;
        const char* args;
    };
    const row rows[] = {
        {"fast", build(sample_records()), ""},
        {"silent", build_large(), "/S"},
    };
    std::size_t started = 0;
    for (const row& r : rows) {
        run_options o = options(r.args, {{"TREVAN_STANDIN_EXIT", "0"}});
        o.watch.cls = progress_window_class;
        const run_result result = run_program(r.program, o);
        EXPECT_FALSE(result.window.has_value()) << r.what << ": shown after " << result.window->ms << " ms";
        EXPECT_EQ(result.exit_code, 0u) << r.what;
        EXPECT_TRUE(result.boxes.empty()) << r.what;
        EXPECT_EQ(records().size(), ++started) << r.what;
    }
}

}  // namespace
}  // namespace trevan::harness
