#pragma once

// Which languages of the program's own texts (ui_texts.h) a build packs,
// and how the stub image carries them: each language as the string blocks
// from vennic::ui_text_first_block on in its LCID, text t at string
// vennic::ui_text_first_string + t in UTF-16, an empty string leaving the
// program's English text. A packed language holds the table's texts under
// the vendor's overrides; an English one (1033, 2057) holds the overrides
// alone, as the English texts are the program's own. Every failure is a
// tool_error (bad input), one line naming the language and the text.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/pe/resource_tree.h"

namespace trevan::pack {

// The vendor's own texts over the table's: LCID, key, UTF-8 text.
using ui_text_overrides = std::map<std::uint16_t, std::map<std::string, std::string>>;

struct ui_text_choice {
    // --ui-languages or the project's "ui_languages".
    std::set<std::uint16_t> languages;
    // The branding's "texts"; each language overridden is packed too.
    ui_text_overrides overrides;

    bool empty() const { return languages.empty() && overrides.empty(); }
};

// The LCID of decimal text, 1 to 65535 ("1031"); nothing for other text.
std::optional<std::uint16_t> lcid_of(const std::string& text);

// The language lcid of the table; what names where it was given. Throws
// unless the table holds it.
std::uint16_t table_language(std::uint64_t lcid, const std::string& what);
// The same from its decimal text ("1031").
std::uint16_t table_language(const std::string& text, const std::string& what);

// A list as --ui-languages takes it: "all" for every language of the table
// but English, or LCIDs with commas between them ("1031,1041"); an empty
// list is none.
std::set<std::uint16_t> parse_ui_languages(const std::string& list, const std::string& what);
std::set<std::uint16_t> all_ui_languages();

// "1031 German"; an LCID the table lacks as its number alone.
std::string ui_language_label(std::uint16_t lcid);

// One language's texts as packed, in the keys' order (ui_text_keys()).
struct packed_ui_language {
    std::uint16_t lcid = 0;
    std::vector<std::u16string> texts;
};

// The languages chosen and those overridden, ascending, each override
// checked (check_ui_text).
std::vector<packed_ui_language> packed_ui_languages(const ui_text_choice& choice);

// Puts each language's blocks into the tree, in place of any it held in
// that language.
void write_ui_texts(pe::resource_tree& tree, const std::vector<packed_ui_language>& languages);

// A language whose texts an image carries: it has the first block. problem
// tells why the loader would read its blocks wrongly (string_block_problem);
// empty when they are sound.
struct carried_ui_language {
    std::uint16_t lcid = 0;
    std::string problem;
};

// The languages of the first block in the tree, ascending. Throws only
// std::bad_alloc.
std::vector<carried_ui_language> carried_ui_languages(const pe::resource_tree& tree);

}  // namespace trevan::pack
