// The table of the program's own texts the pack tool ships: every language
// of the run with every text, the placeholders in place, the English texts
// the program's own, and every line within the progress window's layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/dialect.h"
#include "app/language.h"
#include "app/progress.h"
#include "app/ui_texts.h"
#include "container/extract.h"
#include "tools/pack/tool_error.h"
#include "support/core/ui_text.h"
#include "tools/pack/ui_texts.h"
#include "tools/pe/text16.h"

namespace trevan::pack {
namespace {

const std::set<std::uint16_t> english_lcids = {1033, 2057};

std::string key_of(const ui_text_entry& e) { return std::string(e.key); }

// The text with each {name} of values replaced, as the program fills it.
std::string filled(std::string_view text, const std::map<std::string, std::string>& values) {
    std::string out(text);
    for (const auto& [name, value] : values) {
        const std::string placeholder = "{" + name + "}";
        for (std::size_t at = out.find(placeholder); at != std::string::npos;
             at = out.find(placeholder, at + value.size()))
            out.replace(at, placeholder.size(), value);
    }
    return out;
}

std::string english(const char* key) { return std::string(ui_text(1033, key).value_or("(none)")); }

// The line breaks of a text, in order.
std::string line_breaks_of(std::string_view text) {
    std::string breaks;
    for (char c : text)
        if (c == '\r' || c == '\n') breaks += c;
    return breaks;
}

// Every language a run can choose: each of its language codes and its
// fallback, by the program's own table.
TEST(UiTexts, HoldEveryLanguageTheRunChooses) {
    const char* const codes[] = {"BG", "TW", "CS", "DA",    "DE", "EL", "EN-US", "ES", "FI", "FR",
                                 "HU", "ID", "IT", "JA",    "KO", "NL", "N0",    "PL", "RO", "RU",
                                 "HR", "SV", "TH", "TR",    "ZH", "EN", "PT",    "no such code"};
    std::set<std::uint16_t> chosen;
    for (const char* code : codes) chosen.insert(static_cast<std::uint16_t>(std::stoi(language_code_to_lcid(code))));
    std::set<std::uint16_t> held;
    for (const ui_language& language : ui_languages()) {
        EXPECT_TRUE(held.insert(language.lcid).second) << language.lcid << " twice";
        EXPECT_FALSE(language.name.empty()) << language.lcid;
    }
    EXPECT_EQ(held, chosen);
    EXPECT_EQ(held.size(), 27u) << "26 languages, English as 1033 and 2057";
    EXPECT_TRUE(ui_texts_of(1031).size() > 0 && ui_texts_of(3082).empty());
    EXPECT_FALSE(ui_text(3082, "progress.cancel"));
    EXPECT_FALSE(ui_text(1031, "no.such.key"));
}

TEST(UiTexts, EveryLanguageHasEveryTextOnce) {
    const std::vector<std::string_view>& keys = ui_text_keys();
    ASSERT_FALSE(keys.empty());
    for (const ui_language& language : ui_languages()) {
        SCOPED_TRACE(testing::Message() << language.lcid << " " << language.name);
        std::map<std::string, int> seen;
        for (const ui_text_entry& e : ui_texts_of(language.lcid)) ++seen[key_of(e)];
        for (std::string_view key : keys) {
            EXPECT_EQ(seen[std::string(key)], 1) << "\"" << key << "\"";
            seen.erase(std::string(key));
        }
        for (const auto& [extra, n] : seen) ADD_FAILURE() << "\"" << extra << "\" is no text of the program";
        // English in the program's numbering: text i is the program's string i.
        if (english_lcids.count(language.lcid)) {
            ASSERT_EQ(ui_texts_of(language.lcid).size(), vennic::ui_text_count);
            for (unsigned i = 0; i < vennic::ui_text_count; ++i)
                EXPECT_EQ(ui_texts_of(language.lcid)[i].key, vennic::ui_text_keys[i]);
        }
        if (!english_lcids.count(language.lcid)) {
            EXPECT_NE(ui_text(language.lcid, "progress.text"), ui_text(1033, "progress.text")) << "not translated";
        }
    }
}

// Valid UTF-8, the English text's placeholders each once and no other, no
// control character but its line breaks (the check a vendor's text meets
// too); and the English text's lines, as many and broken the same way.
TEST(UiTexts, EveryTranslationKeepsThePlaceholdersAndTheLines) {
    for (const ui_language& language : ui_languages()) {
        for (const ui_text_entry& e : ui_texts_of(language.lcid)) {
            SCOPED_TRACE(testing::Message() << language.lcid << " " << language.name << " \"" << e.key << "\"");
            try {
                check_ui_text(e.key, e.text);
            } catch (const tool_error& error) {
                ADD_FAILURE() << error.what();
            }
            EXPECT_EQ(line_breaks_of(e.text), line_breaks_of(english(key_of(e).c_str())));
            EXPECT_EQ(e.text.find("  "), std::string_view::npos) << "two blanks in a row";
            EXPECT_TRUE(e.text.front() != ' ' && e.text.back() != ' ') << "a blank at an end";
        }
    }
}

TEST(UiTexts, CheckRefusesWhatNoTextMayHold) {
    const struct {
        const char* key;
        std::string text;
        const char* problem;  // nullptr: accepted
    } rows[] = {
        {"file_error.text", "Fehler: {error}\rDatei: {path}", nullptr},  // in another order
        {"already_running.text", "Eine Zeile", nullptr},                 // fewer lines
        {"progress.text", "„{product}“ wird vorbereitet…", nullptr},
        {"progress.text", "Preparing setup…", "lacks the placeholder {product}"},
        {"progress.text", "{product}: {product}", "holds the placeholder {product} more than once"},
        {"progress.text", "Preparing {produkt} setup",
         "holds the unknown placeholder {produkt} (its placeholders: {product})"},
        {"progress.cancel", "{product}", "holds the unknown placeholder {product} (its placeholders: none)"},
        {"file_error.text", "{path} {error} {path}", "more than once"},
        {"file_error.text", "{path}", "lacks the placeholder {error}"},
        {"progress.text", "Preparing {product setup", "holds a \"{\" that opens no placeholder"},
        {"progress.text", "Preparing {Product} {product}", "holds a \"{\" that opens no placeholder"},
        {"progress.text", "{} {product}", "holds a \"{\" that opens no placeholder"},
        {"progress.text", "{product}}", "holds a \"}\" that closes no placeholder"},
        {"progress.text", "{product} \xC3(", "is not valid UTF-8"},
        {"progress.text", "{product} \xC0\xAF", "is not valid UTF-8"},       // an overlong "/"
        {"progress.text", "{product} \xED\xA0\x80", "is not valid UTF-8"},   // a surrogate
        {"progress.text", "{product} \xE2\x80", "is not valid UTF-8"},       // cut short
        {"progress.cancel", "", "is empty"},
        {"progress.cancel", "Ab\nbrechen", "breaks a line where the English text has no such line break"},
        {"already_running.text", "Eins.\r\nZwei.", "breaks a line where the English text has no such line break"},
        {"file_error.text", "{path}\n{error}", "breaks a line"},
        {"progress.cancel", "Ab\tbrechen", "holds a control character"},
        {"progress.cancel", std::string("Ab\0brechen", 10), "holds a control character"},
        {"progress.cancel", "Ab\x7F", "holds a control character"},
        {"progress.cancel", "Ab\xC2\x85", "holds a control character"},  // NEL, a C1 control
        {"progress.kancel", "Abbrechen", "is no text of the program"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.key << " | " << r.text);
        if (!r.problem) {
            EXPECT_NO_THROW(check_ui_text(r.key, r.text));
            continue;
        }
        try {
            check_ui_text(r.key, r.text);
            ADD_FAILURE() << "accepted";
        } catch (const tool_error& e) {
            EXPECT_EQ(e.code(), exit_code::bad_input);
            const std::string what = e.what();
            EXPECT_EQ(what.find("text \"" + std::string(r.key) + "\" "), 0u) << what;
            EXPECT_NE(what.find(r.problem), std::string::npos) << what;
        }
    }
}

// The string literals of a C++ source, adjacent ones joined and their
// escapes resolved (\u as UTF-8): the texts the program holds as written.
std::vector<std::string> string_literals(const std::string& source) {
    std::vector<std::string> literals;
    std::string current;
    bool open = false;  // a literal has ended and the next one would join it
    auto close = [&] {
        if (open) literals.push_back(current);
        current.clear();
        open = false;
    };
    auto word_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    std::size_t i = 0;
    while (i < source.size()) {
        const char c = source[i];
        if (source.compare(i, 2, "//") == 0) {
            i = std::min(source.find('\n', i), source.size());
        } else if (source.compare(i, 2, "/*") == 0) {
            i = std::min(source.find("*/", i), source.size() - 2) + 2;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (c == '\'') {
            close();
            for (++i; i < source.size() && source[i] != '\''; ++i)
                if (source[i] == '\\') ++i;
            ++i;
        } else if (c == 'L' && i + 1 < source.size() && source[i + 1] == '"' && (i == 0 || !word_char(source[i - 1]))) {
            ++i;  // a wide literal: the same text
        } else if (c == '"') {
            for (++i; i < source.size() && source[i] != '"'; ++i) {
                if (source[i] != '\\') {
                    current += source[i];
                    continue;
                }
                const char e = source[++i];
                if (e == 'u') {
                    const auto unit = static_cast<char16_t>(std::stoul(source.substr(i + 1, 4), nullptr, 16));
                    current += pe::utf16_to_utf8(std::u16string(1, unit));
                    i += 4;
                    continue;
                }
                switch (e) {
                case 'n': current += '\n'; break;
                case 'r': current += '\r'; break;
                case 't': current += '\t'; break;
                case '0': current += '\0'; break;
                default: current += e;  // \" \\ \'
                }
            }
            ++i;
            open = true;
        } else {
            close();
            ++i;
        }
    }
    close();
    return literals;
}

std::vector<std::string> literals_of_file(const std::string& path) {
    std::ifstream in(std::string(TREVAN_SOURCE_DIR) + "/" + path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    if (!in) throw std::runtime_error("cannot read " + path);
    return string_literals(text.str());
}

TEST(UiTexts, LiteralsAreReadAsTheCompilerJoinsThem) {
    const std::vector<std::string> found = string_literals(
        "const char a[] =\n  \"one \\\"two\\\"\\n\" // \"not this\"\n  \"three\";\n"
        "/* \"nor this\" */ f(L\"x\\u2026\", 'q', '\"', \"y\\\\\");");
    EXPECT_EQ(found, (std::vector<std::string>{"one \"two\"\nthree", "x\u2026", "y\\"}));
}

// The English texts (both English LCIDs) are what the program shows: each
// one held as a literal of the source that shows it, or, where values go
// into it, built by the program's own function in the next case.
TEST(UiTexts, EnglishTextsAreTheProgramsOwn) {
    const struct {
        const char* key;
        const char* text;
        const char* sources;  // that hold the text as one literal; "": built around placeholders
    } program[] = {
        {"already_running.caption", "Already Running", "app/run_win32.cpp"},
        {"already_running.text",
         "Another installation is already running or in the process of starting up.\n"
         "Please wait until the other installation has completed before trying again.",
         "app/run_win32.cpp"},
        {"temp_folder.text", "Unable to get Temporary Directory", "app/temp_folder_win32.cpp"},
        {"work_folder.text", "Unable to set Working Directory", "app/work_folder_win32.cpp"},
        {"progress.text", "Preparing {product} setup\u2026", ""},
        {"progress.cancel", "Cancel", "app/run_win32.cpp"},
        {"open_archive.caption", "Failed to open archive!", "container/extract.cpp"},
        {"initialize_archive.caption", "Failed to initialize archive!", "container/extract.cpp"},
        {"extract_file.caption", "Failed to extract file!", "container/extract.cpp"},
        {"file_error.text", "File: {path}\rError: {error}", ""},
        {"invalid_archive.caption", "Invalid Archive!", "app/run_win32.cpp"},
        {"invalid_archive.text",
         "We are sorry, but your installation / update did not complete due to unexpected download errors.\r\n"
         "Please download full version of the program",
         "app/run_win32.cpp"},
        {"cancelled.text", "The user cancelled the setup.", "app/run_win32.cpp"},
        {"option_refused.caption", "Option not allowed", "app/dialect.cpp"},
        {"option_refused.text", "\"{option}\" is not passed on: the setup program's options are set by the vendor.",
         ""},
        {"spawn.text", "Unable to spawn process", "app/launch_win32.cpp app/arguments.cpp app/dialect.cpp"},
        {"wait.text", "Unable to wait for process", "app/launch_win32.cpp"},
        {"exit_code.text", "Unable to get process exit code", "app/launch_win32.cpp"},
        {"no_context.caption", "No context available", "app/run_win32.cpp"},
        {"unhandled.text", "Unhandled Exception", "app/run_win32.cpp"},
    };
    std::vector<std::string> keys;
    for (const auto& p : program) {
        SCOPED_TRACE(p.key);
        keys.push_back(p.key);
        for (std::uint16_t lcid : english_lcids) EXPECT_EQ(ui_text(lcid, p.key), std::string_view(p.text)) << lcid;
        std::istringstream sources(p.sources);
        for (std::string source; sources >> source;) {
            const std::vector<std::string> literals = literals_of_file(source);
            EXPECT_TRUE(std::find(literals.begin(), literals.end(), p.text) != literals.end())
                << source << " no longer shows this text";
        }
    }
    EXPECT_EQ(std::vector<std::string>(ui_text_keys().begin(), ui_text_keys().end()), keys);
}

class unopenable_archive : public extraction_io {
public:
    vennic::error_or<std::unique_ptr<archive_reader>> open_archive(const std::string&) override {
        return vennic::system_error{5};
    }
    vennic::error_or<std::unique_ptr<output_file>> create_output(const std::string&) override {
        return vennic::system_error{5};
    }
    unsigned long last_error() override { return 5; }
    std::string error_text(unsigned long) override { return "Access is denied."; }
};

std::wstring wide(const std::string& utf8) {
    const std::u16string units = pe::utf8_to_utf16(utf8).value_or(u"(not UTF-8)");
    return std::wstring(units.begin(), units.end());
}

// What a run shows of a failure where it carries the table's texts: the
// program's own filling of the texts its ids name with its values, which
// must tell the same as its English caption and text.
void expect_told_by_the_table(const vennic::failure& failure) {
    const auto key = [](vennic::ui_text t) { return vennic::ui_text_keys[static_cast<unsigned>(t)]; };
    if (failure.caption_text) {
        EXPECT_EQ(english(key(*failure.caption_text)), failure.caption);
    }
    ASSERT_TRUE(failure.text_text) << failure.text;
    const std::wstring values[] = {wide(failure.values[0]), wide(failure.values[1])};
    EXPECT_EQ(trevan::filled(wide(english(key(*failure.text_text))), *failure.text_text, values, 2),
              wide(failure.text));
}

// The placeholders stand where the program puts the product name, the path,
// the system's text and the refused argument.
TEST(UiTexts, PlaceholdersStandWhereTheProgramPutsItsValues) {
    const std::u16string preparing =
        *pe::utf8_to_utf16(filled(english("progress.text"), {{"product", "Vorbelquint"}}));
    EXPECT_EQ(preparing_text(L"Vorbelquint"), std::wstring(preparing.begin(), preparing.end()));

    unopenable_archive io;
    SettingsMap settings;
    const extraction_result extracted =
        extract_payload("C:\\Users\\Ann\\Downloads\\Setup.exe", "C:\\T\\VORBELQ5\\", settings, io);
    ASSERT_TRUE(extracted.failure);
    EXPECT_EQ(extracted.failure->caption, english("open_archive.caption"));
    EXPECT_EQ(extracted.failure->text,
              filled(english("file_error.text"),
                     {{"path", "C:\\Users\\Ann\\Downloads\\Setup.exe"}, {"error", "Access is denied."}}));
    expect_told_by_the_table(*extracted.failure);

    SettingsMap container{{"kind", "msi"}, {"executable64", "%installer64%"}, {"installer64", "Setup.msi"}};
    run_facts facts;
    facts.arguments = "/S /p C:\\Users\\Public\\evil.msp";
    facts.work_folder = "C:\\T\\VORBELQ5\\";
    facts.system_folder = "C:\\Windows\\system32";
    facts.on_64bit_windows = true;
    facts.read_language = [](language_source) -> std::string { throw std::runtime_error("no value"); };
    const setup_start start = plan_setup_start(container, facts);
    ASSERT_TRUE(start.failure);
    EXPECT_EQ(start.failure->caption, english("option_refused.caption"));
    EXPECT_EQ(start.failure->text, filled(english("option_refused.text"), {{"option", "/p"}}));
    expect_told_by_the_table(*start.failure);

    container["kind"] = "no such kind";
    const setup_start unknown = plan_setup_start(container, facts);
    ASSERT_TRUE(unknown.failure);
    EXPECT_FALSE(unknown.failure->caption_text) << "the name of a system call stays";
    expect_told_by_the_table(*unknown.failure);
}

// How wide a text is in average character widths of the message font. The
// progress window is laid out in dialog units of that font (app/progress.h):
// a quarter of its average character width across, so its line of text is
// 220 units, 55 average widths, wide, and only a longer line widens the
// window. The estimate counts one average width for each character of the
// Latin, Greek and Cyrillic scripts, blanks included, and of Thai, whose
// vowel and tone marks above and below a consonant take none; two for each
// full-width CJK character and Hangul syllable, which the Japanese, Chinese
// and Korean message fonts draw one em wide, twice their average width; and
// two for the ellipsis, which those fonts draw full width too. It errs wide:
// a blank is about half an average width and the Latin ellipsis less than
// two, which leaves room for the capitals and the wider letters.
int average_widths(std::string_view utf8, int product_widths) {
    const std::string with_product = filled(utf8, {{"product", std::string(product_widths, 'x')}});
    int widths = 0;
    const std::u16string units = pe::utf8_to_utf16(with_product).value_or(u"");
    for (char16_t c : units) {
        const bool thai_mark = c == 0x0E31 || (c >= 0x0E34 && c <= 0x0E3A) || (c >= 0x0E47 && c <= 0x0E4E);
        const bool full_width = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF) ||
                                (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
                                (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
                                (c >= 0xFFE0 && c <= 0xFFE6) || c == 0x2026;
        widths += thai_mark ? 0 : full_width ? 2 : 1;
    }
    return widths;
}

TEST(UiTexts, AverageWidthsCountFullWidthAndThaiMarks) {
    EXPECT_EQ(average_widths("Cancel", 16), 6);
    EXPECT_EQ(average_widths("{product}…", 16), 18);
    EXPECT_EQ(average_widths("キャンセル", 16), 10);
    EXPECT_EQ(average_widths("취소", 16), 4);
    EXPECT_EQ(average_widths("ยกเลิก", 16), 5);  // ิ sits above ล
}

// Every language keeps the window's designed width for a product name of
// up to 16 average widths (Vorbelquint has 11; a longer name widens the
// window, as the layout allows), and its Cancel button near its designed
// 50 units: the layout widens it for a caption over 34 units (8.5 average
// widths); held to 10 (キャンセル, five full-width characters), it stays
// within 56 units. Checked with the program's own layout for Segoe UI 9 pt,
// the message font, at 100 % and 200 % (as tests/app/progress_test.cpp
// measures it).
TEST(UiTexts, EveryLineFitsTheProgressWindow) {
    constexpr int product_widths = 16;
    const struct {
        int percent, line_height, char_width;
    } fonts[] = {{100, 15, 7}, {200, 30, 14}};
    for (const auto& f : fonts) {
        const progress_layout designed = lay_out_progress(0, 0, f.line_height, f.char_width);
        const int widest_button = 56 * f.char_width / 4;
        for (const ui_language& language : ui_languages()) {
            SCOPED_TRACE(testing::Message() << f.percent << " %, " << language.lcid << " " << language.name);
            const std::string_view line = ui_text(language.lcid, "progress.text").value_or("");
            const std::string_view cancel = ui_text(language.lcid, "progress.cancel").value_or("");
            const int line_widths = average_widths(line, product_widths);
            const int button_widths = average_widths(cancel, product_widths);
            const progress_layout l =
                lay_out_progress(line_widths * f.char_width, button_widths * f.char_width, f.line_height, f.char_width);
            EXPECT_EQ(l.width, designed.width) << "\"" << line << "\": " << line_widths << " average widths";
            EXPECT_LE(l.button.right - l.button.left, widest_button)
                << "\"" << cancel << "\": " << button_widths << " average widths";
        }
    }
}

}  // namespace
}  // namespace trevan::pack
