#pragma once

// The one rule for the texts a container stores (setting names, values,
// stored file names, the stub's file name): the user gives them in UTF-8
// (the command line, the project file), and they are stored in the ANSI
// code page the program will read them in, named by --code-page (or the
// project's "code_page") and packed as the value record "code_page". Text
// in plain ASCII needs no code page; any other text without one, or one
// that code page cannot hold exactly (no best fit), is refused.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "container/settings.h"
#include "tools/pack/builder.h"

namespace trevan::pack {

// The setting that names the code page of a container's texts.
inline constexpr char code_page_setting[] = "code_page";

// Whether every byte of text is ASCII: text that reads the same in every
// ANSI code page.
bool is_ascii(std::string_view text);

// The Windows ANSI code pages: 874, 932, 936, 949, 950, 1250 to 1258.
const std::vector<unsigned>& ansi_code_pages();
// "874, 932, 936, 949, 950 or 1250 to 1258", for messages.
const char* code_page_list();

// The code page named by text ("1252"): nothing when it is not a number of
// ansi_code_pages().
std::optional<unsigned> ansi_code_page_of(std::string_view text);

// Stores the records' texts in code_page (nothing: ASCII only) and, with a
// code page, adds its "code_page" value record behind them. what_option
// names where the code page is set, for the message. Throws tool_error
// (exit 2, one line) for a text outside ASCII without a code page, one the
// code page cannot hold (naming the text) and a "code_page" record the
// user wrote.
std::vector<record> stored_records(const std::vector<record>& records, std::optional<unsigned> code_page);

// The same rule for one text; what names it in the message.
std::string stored_text(const std::string& utf8, std::optional<unsigned> code_page, const std::string& what);

// The code page a container's settings name; nothing when they name none
// the tool knows.
std::optional<unsigned> code_page_of(const SettingsMap& settings);

}  // namespace trevan::pack
