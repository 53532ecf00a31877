#include "support/platform/unicode.h"

#include <windows.h>

#include <climits>
#include <vector>

namespace vennic {
namespace unicode {

generic::generic(const std::string& message) : vennic::exception(message) {
    extend_category_path("unicode");
}
out_of_memory::out_of_memory(const std::string& message) : generic(message) {
    extend_category_path("out_of_memory");
}
invalid_codepage::invalid_codepage(const std::string& message) : generic(message) {
    extend_category_path("invalid_codepage");
}
unmappable_character::unmappable_character(const std::string& message) : generic(message) {
    extend_category_path("unmappable_character");
}

bool is_flag_capable(unsigned int codepage) {
    // These code pages reject the "report what does not convert" requests
    // with an error of their own, so the conversions must not make them.
    switch (codepage) {
    case 42:
    case 50221:
    case 50222:
    case 50225:
    case 50227:
    case 50229:
    case 52936:
    case 54936:
    case 65000:
    case 65001:
        return false;
    default:
        return !(codepage >= 57002 && codepage <= 57011);
    }
}

std::string to_narrow(const std::wstring& text, unsigned int codepage, bool strict) {
    if (text.empty()) return std::string();

    CPINFO info;
    if (!GetCPInfo(codepage, &info)) throw invalid_codepage("");

    // MaxCharSize bytes per input character holds the longest result, so a
    // too-small area is only reported when the system itself says so.
    if (text.size() > static_cast<std::size_t>(INT_MAX) / info.MaxCharSize) throw out_of_memory("");
    std::vector<char> out(text.size() * info.MaxCharSize);
    BOOL used_default = FALSE;
    BOOL* indicator = is_flag_capable(codepage) ? &used_default : nullptr;
    int count = WideCharToMultiByte(codepage, 0, text.data(), static_cast<int>(text.size()),
                                    out.data(), static_cast<int>(out.size()), nullptr, indicator);
    DWORD error = GetLastError();
    if (used_default && strict) throw unmappable_character("");
    if (count > 0) return std::string(out.data(), static_cast<std::size_t>(count));
    switch (error) {
    case ERROR_INSUFFICIENT_BUFFER:
        throw out_of_memory("");
    case ERROR_INVALID_PARAMETER:
        throw unmappable_character("");
    default:
        throw generic("");
    }
}

std::wstring to_wide(const std::string& text, unsigned int codepage, bool strict) {
    if (text.empty()) return std::wstring();

    if (text.size() > static_cast<std::size_t>(INT_MAX)) throw out_of_memory("");
    std::vector<wchar_t> out(text.size());
    DWORD flags = strict && is_flag_capable(codepage) ? MB_ERR_INVALID_CHARS : 0;
    int count = MultiByteToWideChar(codepage, flags, text.data(), static_cast<int>(text.size()),
                                    out.data(), static_cast<int>(out.size()));
    if (count > 0) return std::wstring(out.data(), static_cast<std::size_t>(count));
    switch (GetLastError()) {
    case ERROR_INSUFFICIENT_BUFFER:
        throw out_of_memory("");
    case ERROR_INVALID_PARAMETER:
        throw invalid_codepage("");
    case ERROR_NO_UNICODE_TRANSLATION:
        throw unmappable_character("");
    default:
        throw generic("");
    }
}

std::optional<std::string> to_exact_narrow(const std::wstring& text, unsigned int codepage) {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
    // The flags are those of the code page itself: CP_ACP passes as capable,
    // yet where the ANSI code page is UTF-8 they would be refused.
    if (codepage == CP_ACP) codepage = GetACP();
    const bool capable = is_flag_capable(codepage);
    const int size = static_cast<int>(text.size());
    const DWORD flags = capable ? WC_NO_BEST_FIT_CHARS : 0;
    BOOL used_default = FALSE;
    BOOL* indicator = capable ? &used_default : nullptr;
    const int n = WideCharToMultiByte(codepage, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(codepage, flags, text.data(), size, &out[0], n, nullptr, indicator) != n || used_default)
        return std::nullopt;
    // What reads back as the same text is exact; this also catches what the
    // flags cannot ask for (a lone surrogate in UTF-8).
    const DWORD back_flags = capable ? MB_ERR_INVALID_CHARS : 0;
    const int back = MultiByteToWideChar(codepage, back_flags, out.data(), n, nullptr, 0);
    if (back != size) return std::nullopt;
    std::wstring round(static_cast<std::size_t>(back), L'\0');
    if (MultiByteToWideChar(codepage, back_flags, out.data(), n, &round[0], back) != back || round != text)
        return std::nullopt;
    return out;
}

}  // namespace unicode
}  // namespace vennic
