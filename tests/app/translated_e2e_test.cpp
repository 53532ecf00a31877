// The program's own texts in the run's language, on the session's display:
// packed translations shown in the progress window and the boxes, chosen by
// the installer language the run puts in front of the caller's arguments,
// else the user's UI language (English under Wine here), else English; the
// log names the language and holds the texts as shown.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/app/run_fixture.h"
#include "tools/pack/ui_texts.h"

namespace fs = std::filesystem;

namespace trevan::harness {
namespace {

const char product[] = "Amberlyn Caf\xC3\xA9";

// A table text with its placeholders filled.
std::string table_text(std::uint16_t lcid, const char* key,
                       const std::vector<std::pair<std::string, std::string>>& values = {}) {
    std::string text(pack::ui_text(lcid, key).value_or("(no such text)"));
    for (const auto& [name, value] : values) {
        const std::string placeholder = "{" + name + "}";
        const std::size_t at = text.find(placeholder);
        if (at != std::string::npos) text.replace(at, placeholder.size(), value);
    }
    return text;
}

// How a box goes to the log: one line, its line ends as blanks.
std::string log_line_of(const message_box& box) {
    std::string line = "Message box: " + box.caption + ": " + box.text;
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    return line;
}

// A language source's value, and the language whose texts a run shows.
struct source_row {
    const char* what;
    const char* key;
    const char* name;
    const char* value;
    std::uint16_t shown;
    const char* reason;
};

class Translated : public ProgramRun, protected language_sources {
protected:
    void SetUp() override {
        ProgramRun::SetUp();
        clear();
    }
    void TearDown() override {
        clear();
        fs::remove(large_program());
    }

    // The program of this suite (the shipped one) with German and Japanese
    // texts, cut short as a broken download is: it shows the container's
    // failure and then the invalid archive.
    std::string build_broken(const std::set<std::uint16_t>& languages = {1031, 1041},
                             const pack::ui_text_overrides& overrides = {}) {
        const std::string out = dir_ + "/Broken.exe";
        pack::build_options o;
        o.brand.ui_texts.languages = languages;
        o.brand.ui_texts.overrides = overrides;
        pack::build_container(program_path(), sample_records(), out, o);
        fs::resize_file(out, fs::file_size(out) - 100);
        return out;
    }

    std::string large_program() const { return dir_ + "/Large.exe"; }

    // Branded, with German and Japanese texts; a run of it takes seconds, so
    // that its window shows: the build under test (64- or 32-bit) of the
    // program variant that reads its own file slowly.
    std::string build_large() {
        pack::build_options o;
        o.brand.product_name = product;
        o.brand.ui_texts.languages = {1031, 1041};
        pack::build_container(program_dir() + "/tests/app/Trevan-slow.exe",
                              {pack::file_record("installer64", "Setup_x64.exe", padded_standin(96u << 20)),
                               pack::value_record("executable64", "%installer64%"),
                               pack::value_record("executable32", "%installer64%")},
                              large_program(), o);
        return large_program();
    }

    std::string log() const { return read_file(temp_ + "/Trevan.log.txt"); }
    // Runs appended to the log: each run's lines alone are checked.
    void remove_log() const { fs::remove(temp_ + "/Trevan.log.txt"); }
};

// The boxes of a broken download in English, for the values that fill the
// translated ones: the program's path and the system's text.
struct english_failure {
    std::string path, error;
};
english_failure values_of(const std::vector<message_box>& boxes) {
    english_failure values;
    if (boxes.empty()) return values;
    const std::string& text = boxes[0].text;
    const std::size_t cr = text.find("\rError: ");
    if (text.rfind("File: ", 0) != 0 || cr == std::string::npos) return values;
    values.path = text.substr(6, cr - 6);
    values.error = text.substr(cr + 8);
    return values;
}

TEST_F(Translated, AnInstallerLanguageOfTheContainerShowsItsBoxes) {
    const std::string program = build_broken();
    // No language source: the UI language, English, which the program holds.
    const run_result english = run(program);
    ASSERT_EQ(english.boxes.size(), 2u);
    EXPECT_EQ(english.boxes[0].caption, "Failed to initialize archive!");
    EXPECT_EQ(english.boxes[1], invalid_archive);
    EXPECT_NE(log().find("Texts: 1033 (UI language)\r\n"), std::string::npos) << log();
    const english_failure values = values_of(english.boxes);
    ASSERT_FALSE(values.path.empty()) << english.boxes[0].text;

    const source_row rows[] = {
        {"German", uninstall, "InstallerLanguage", "1031", 1031, "installer language"},
        // German (Austria) is served by German.
        {"German (Austria)", uninstall, "InstallerLanguage", "3079", 1031, "installer language"},
        {"Japanese", first_key, "Lang", "JA", 1041, "installer language"},
        // French is not carried: the UI language's, English.
        {"French", first_key, "Lang", "FR", 1033, "UI language"},
    };
    for (const source_row& r : rows) {
        clear();
        set(r.key, r.name, r.value);
        remove_log();
        const run_result result = run(program);
        EXPECT_EQ(result.exit_code, 1u) << r.what;
        const std::vector<message_box> expected = {
            {table_text(r.shown, "initialize_archive.caption"),
             table_text(r.shown, "file_error.text", {{"path", values.path}, {"error", values.error}})},
            {table_text(r.shown, "invalid_archive.caption"), table_text(r.shown, "invalid_archive.text")}};
        EXPECT_EQ(result.boxes, expected) << r.what;
        const std::string text = log();
        EXPECT_NE(text.find("Texts: " + std::to_string(r.shown) + " (" + r.reason + ")\r\n"), std::string::npos)
            << r.what << "\n" << text;
        for (const message_box& box : expected)
            EXPECT_NE(text.find(log_line_of(box) + "\r\n"), std::string::npos) << r.what << "\n" << text;
    }
}

// The caller's own "/L" decides before the registry's, as it does for the
// setup program; a silent run shows nothing and logs the texts it would
// have shown.
TEST_F(Translated, TheCallersOptionDecidesAndASilentRunOnlyLogs) {
    const std::string program = build_broken();
    set(uninstall, "InstallerLanguage", "1041");
    const run_result own_option = run(program, "/L1031");
    ASSERT_EQ(own_option.boxes.size(), 2u);
    EXPECT_EQ(own_option.boxes[1].caption, table_text(1033, "invalid_archive.caption"))
        << "a /L of the caller's puts none in front";
    EXPECT_NE(log().find("Texts: 1033 (UI language)\r\n"), std::string::npos) << log();

    remove_log();
    const run_result silent = run(program, "/S");
    EXPECT_EQ(silent.exit_code, 1u);
    EXPECT_TRUE(silent.boxes.empty());
    const std::string text = log();
    EXPECT_NE(text.find("Texts: 1041 (installer language)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Message box (not shown, unattended): " + table_text(1041, "invalid_archive.caption") + ": "),
              std::string::npos)
        << text;
}

// A vendor's own text wins over the table's, an English one included; a
// text left empty there is the program's own.
TEST_F(Translated, AVendorsTextsWinOverTheTables) {
    const std::string program = build_broken({1031}, {{1031, {{"invalid_archive.caption", "Download unvollständig"}}},
                                                      {2057, {{"invalid_archive.caption", "Incomplete download"}}}});
    set(uninstall, "InstallerLanguage", "1031");
    run_result result = run(program);
    ASSERT_EQ(result.boxes.size(), 2u);
    EXPECT_EQ(result.boxes[1], (message_box{"Download unvollständig", table_text(1031, "invalid_archive.text")}));

    set(uninstall, "InstallerLanguage", "2057");
    result = run(program);
    ASSERT_EQ(result.boxes.size(), 2u);
    EXPECT_EQ(result.boxes[1], (message_box{"Incomplete download", invalid_archive.text}));
    EXPECT_EQ(result.boxes[0].caption, "Failed to initialize archive!");
}

// The window in German and in Japanese (the session's ANSI code page is
// 1252, which holds no Japanese), and its Cancel in the run's language.
TEST_F(Translated, TheProgressWindowInTheRunsLanguage) {
    const std::string program = build_large();
    const source_row rows[] = {
        {"de", first_key, "Lang", "DE", 1031, "installer language"},
        {"ja", first_key, "Lang", "JA", 1041, "installer language"},
    };
    for (const source_row& r : rows) {
        clear();
        set(r.key, r.name, r.value);
        remove_log();
        run_options o = options();
        o.watch.press = table_text(r.shown, "progress.cancel");
        const run_result result = run_through_progress(program, o, dir_ + "/progress-window-" + r.what + ".png");
        ASSERT_TRUE(result.window.has_value()) << r.what;
        const shown_window& w = *result.window;
        EXPECT_EQ(w.title, product) << r.what;
        EXPECT_EQ(w.text_of("Static"), table_text(r.shown, "progress.text", {{"product", product}})) << r.what;
        ASSERT_EQ(w.controls.size(), 2u) << r.what;
        EXPECT_EQ(w.controls[1].text, table_text(r.shown, "progress.cancel")) << r.what;
        // Pressed by its translated caption: the run ends as a cancel does.
        EXPECT_EQ(result.exit_code, 1602u) << r.what;
        EXPECT_TRUE(result.boxes.empty()) << r.what;
        EXPECT_NE(log().find("Texts: " + std::to_string(r.shown) + " (" + r.reason + ")\r\n"), std::string::npos)
            << r.what;
    }
}

}  // namespace
}  // namespace trevan::harness
