#pragma once

// The bootstrapper's own texts (its progress window and the texts of its
// message boxes) in every language a run can choose for the setup program,
// as the pack tool ships them to be packed; the program itself holds only
// the English ones. Texts are UTF-8 and looked up by LCID and a stable key.
// Nothing here throws but bad_alloc, except check_ui_text.
//
// A text may hold placeholders, a name in braces, which the program fills
// where it builds the English text today:
//   "progress.text"    "Preparing {product} setup…": {product} is the
//                      product name (string 2002); the program's text is
//                      "Preparing " + product + " setup…".
//   "file_error.text"  "File: {path}\rError: {error}": {path} is the file's
//                      path, {error} the system's text for the error code
//                      (in the system's own language); the program's text
//                      is "File: " + path + "\rError: " + error text.
//   "option_refused.text"  "\"{option}\" is not passed on: …": {option} is
//                      the refused argument as the caller wrote it.
// A brace is always a placeholder's: no text holds one otherwise. A text
// holds exactly the placeholders of its English text, each once, and no
// control character but the line breaks (CR, LF) its English text has.
//
// The captions that name a system call ("ShellExecuteEx failed",
// "GetTempPath failed", ...) are not in the table: they stay English in
// every language, as support staff search for them.

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace trevan::pack {

struct ui_language {
    std::uint16_t lcid;     // as the "/L" option names it, 1031
    std::string_view name;  // in English, "German"
};

struct ui_text_entry {
    std::string_view key;
    std::string_view text;  // UTF-8
};

// The languages of the table, by LCID: the languages of the run's language
// codes and its fallback (language.h), English as 1033 and as 2057.
const std::vector<ui_language>& ui_languages();

// Every key, in a fixed order (the English texts' order).
const std::vector<std::string_view>& ui_text_keys();

// The texts of the language lcid as the table holds them; empty for a
// language it does not hold.
const std::vector<ui_text_entry>& ui_texts_of(std::uint16_t lcid);

// The text of key in the language lcid; nothing for an unknown language or
// key. English (1033 or 2057) is the program's own text.
std::optional<std::string_view> ui_text(std::uint16_t lcid, std::string_view key);

// Checks text as the text of key in any language, a translation of the
// table or a vendor's own: valid UTF-8, not empty, the placeholders of the
// English text each once and no other, no control character but the line
// breaks of the English text. Throws tool_error (bad input) naming the key
// and what is wrong.
void check_ui_text(std::string_view key, std::string_view text);

}  // namespace trevan::pack
