#include "app/language.h"

namespace trevan {
namespace {

struct no_value {};

bool has_language_switch(const std::string& text) { return text.find("/L") != std::string::npos; }

std::string with_switch(const std::string& lcid, const std::string& text) {
    return "/L" + lcid + " " + text;
}

}  // namespace

std::string language_code_to_lcid(const std::string& code) {
    static const struct {
        const char* code;
        const char* lcid;
    } table[] = {
        {"BG", "1026"}, {"TW", "1028"}, {"CS", "1029"}, {"DA", "1030"}, {"DE", "1031"},
        {"EL", "1032"}, {"EN-US", "1033"}, {"ES", "1034"}, {"FI", "1035"}, {"FR", "1036"},
        {"HU", "1038"}, {"ID", "1057"}, {"IT", "1040"}, {"JA", "1041"}, {"KO", "1042"},
        {"NL", "1043"}, {"N0", "1044"},  // N and the digit zero
        {"PL", "1045"}, {"RO", "1048"}, {"RU", "1049"}, {"HR", "1050"}, {"SV", "1053"},
        {"TH", "1054"}, {"TR", "1055"}, {"ZH", "2052"}, {"EN", "2057"}, {"PT", "2070"},
    };
    for (const auto& row : table)
        if (code == row.code) return row.lcid;
    return "2057";
}

std::string language_reads::operator()(language_source source) {
    held& h = held_[static_cast<int>(source)];
    if (!h.read) {
        h.read = true;
        try {
            h.value = read_(source);
        } catch (...) {
            h.failed = true;
        }
    }
    // Nothing that carries a text: every reader of a source catches all.
    if (h.failed) throw no_value{};
    return h.value;
}

std::string add_language_option(const std::string& parameter_text, const language_reader& read) {
    std::string text = parameter_text;

    try {
        std::string value = read(language_source::installer_language);
        if (!value.empty() && !has_language_switch(text)) text = with_switch(value, text);
    } catch (...) {
        // No installer language: fall through to the user's.
    }

    try {
        std::string value = read(language_source::user_first_key);
        if (value.empty()) value = read(language_source::user_second_key);
        if (!value.empty() && !has_language_switch(text))
            text = with_switch(language_code_to_lcid(value), text);
    } catch (...) {
        // The first key failed (or the second, read after an empty first):
        // the second key alone decides.
        try {
            std::string value = read(language_source::user_second_key);
            if (!value.empty() && !has_language_switch(text))
                text = with_switch(language_code_to_lcid(value), text);
        } catch (...) {
        }
    }
    return text;
}

}  // namespace trevan
