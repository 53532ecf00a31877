#pragma once

// The installer language: where it is read from, the "/L<LCID>" option
// put in front of the parameters, and language codes as LCIDs. A source
// that fails counts as no value.

#include <functional>
#include <string>
#include <utility>

namespace trevan {

// The three places a language can come from, in order of precedence.
enum class language_source {
    installer_language,  // "InstallerLanguage" under the product's uninstall key (an LCID)
    user_first_key,      // "Lang" under the maker's KELMO\Misc key (a language code)
    user_second_key,     // "Lang" under the maker's Vorbelquint\Misc key (a language code)
};

// Reads one source's value. Throws when the value cannot be had (missing key
// or value, wrong type, access denied): every such failure counts as "no
// value".
using language_reader = std::function<std::string(language_source)>;

// The sources as a run reads them: each once, every later call answered
// with the same value, or failing again, so that the program's own texts
// and the setup program's option speak the same language even when a
// source changes during the run.
class language_reads {
public:
    explicit language_reads(language_reader read) : read_(std::move(read)) {}
    std::string operator()(language_source source);

private:
    struct held {
        bool read = false;
        bool failed = false;
        std::string value;
    };
    language_reader read_;
    held held_[3];
};

// Puts "/L<LCID> " in front of the parameter text unless it already holds
// "/L" (capital L, anywhere): the installer language first, else the user
// language of the first key, else that of the second. Never throws for a
// failing source.
std::string add_language_option(const std::string& parameter_text, const language_reader& read);

// The LCID text for a language code: an exact, case-sensitive match in the
// table; anything else gives "2057".
std::string language_code_to_lcid(const std::string& code);

}  // namespace trevan
