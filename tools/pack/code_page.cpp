#include "tools/pack/code_page.h"

#include <algorithm>

#include "tools/pack/host.h"
#include "tools/pack/shown_text.h"
#include "tools/pack/tool_error.h"

namespace trevan::pack {

bool is_ascii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

const std::vector<unsigned>& ansi_code_pages() {
    static const std::vector<unsigned> pages = {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258};
    return pages;
}

const char* code_page_list() { return "874, 932, 936, 949, 950 or 1250 to 1258"; }

std::optional<unsigned> ansi_code_page_of(std::string_view text) {
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const unsigned number = static_cast<unsigned>(std::stoul(std::string(text)));
    const std::vector<unsigned>& pages = ansi_code_pages();
    if (std::find(pages.begin(), pages.end(), number) == pages.end()) return std::nullopt;
    return number;
}

std::string stored_text(const std::string& utf8, std::optional<unsigned> code_page, const std::string& what) {
    if (!code_page) {
        if (is_ascii(utf8)) return utf8;
        throw tool_error(what + " " + quoted_utf8(utf8) +
                         " holds text outside ASCII: name the code page the program reads it in with --code-page "
                         "(or the project's \"code_page\")");
    }
    std::optional<std::string> stored = from_utf8(utf8, *code_page);
    if (!stored)
        throw tool_error(what + " " + quoted_utf8(utf8) + " cannot be stored in code page " +
                         std::to_string(*code_page) + ": it is not UTF-8, or holds a character that code page has "
                         "no exact form for");
    return *stored;
}

std::vector<record> stored_records(const std::vector<record>& records, std::optional<unsigned> code_page) {
    std::vector<record> stored;
    for (const record& r : records) {
        if (r.name == code_page_setting)
            throw tool_error("the setting \"code_page\" is the code page of the container's texts: set it with "
                             "--code-page (or the project's \"code_page\")");
        record s = r;
        s.name = stored_text(r.name, code_page, "the setting name");
        if (r.type == record::kind::file) s.stored_name = stored_text(stored_name_of(r), code_page, "the stored file name");
        else s.text = stored_text(r.text, code_page, "the value of " + quoted_utf8(r.name) + ",");
        stored.push_back(std::move(s));
    }
    if (code_page) stored.push_back(value_record(code_page_setting, std::to_string(*code_page)));
    return stored;
}

std::optional<unsigned> code_page_of(const SettingsMap& settings) {
    const auto found = settings.find(code_page_setting);
    if (found == settings.end()) return std::nullopt;
    return ansi_code_page_of(found->second);
}

}  // namespace trevan::pack
