#include "container/file_name.h"

#include <type_traits>

namespace trevan {
namespace {

// One rule for both forms of a name: each code unit is taken as the number
// it is, so a byte of the code page and a UTF-16 unit are judged alike.
template <typename Char>
unsigned long unit(Char c) {
    return static_cast<unsigned long>(static_cast<std::make_unsigned_t<Char>>(c));
}

template <typename Char>
unsigned long upper(Char c) {
    const unsigned long u = unit(c);
    return u >= 'a' && u <= 'z' ? u - 'a' + 'A' : u;
}

template <typename Char>
bool equals_upper(const std::basic_string<Char>& text, const char* upper_text) {
    std::size_t i = 0;
    for (; i < text.size() && upper_text[i]; ++i)
        if (upper(text[i]) != static_cast<unsigned char>(upper_text[i])) return false;
    return i == text.size() && !upper_text[i];
}

// A digit of a COM or LPT port name: 0 to 9 or a superscript 1, 2 or 3 (the
// same numbers in the Windows Latin code page and in UTF-16), or their
// UTF-8 forms.
template <typename Char>
bool is_port_number(const std::basic_string<Char>& rest) {
    const auto superscript = [](unsigned long u) { return u == 0xB9 || u == 0xB2 || u == 0xB3; };
    if (rest.size() == 1) return (unit(rest[0]) >= '0' && unit(rest[0]) <= '9') || superscript(unit(rest[0]));
    return rest.size() == 2 && unit(rest[0]) == 0xC2 && superscript(unit(rest[1]));
}

// Windows takes the part before the first dot, without trailing blanks, as
// the device name: "nul.txt", "NUL .txt" and "nul.tar.gz" all open NUL.
template <typename Char>
bool is_device_name(const std::basic_string<Char>& name) {
    std::basic_string<Char> base = name.substr(0, name.find(Char('.')));
    while (!base.empty() && base.back() == Char(' ')) base.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (equals_upper(base, device)) return true;
    if (base.size() < 4) return false;
    const std::basic_string<Char> port = base.substr(0, 3);
    return (equals_upper(port, "COM") || equals_upper(port, "LPT")) && is_port_number(base.substr(3));
}

template <typename Char>
bool is_bare(const std::basic_string<Char>& name) {
    if (name.empty()) return false;
    if (unit(name[0]) == '.' && (name.size() == 1 || (name.size() == 2 && unit(name[1]) == '.'))) return false;
    for (Char c : name) {
        const unsigned long u = unit(c);
        if (u < 32) return false;
        for (const char* refused = "\\/:*?\"<>|"; *refused; ++refused)
            if (u == static_cast<unsigned char>(*refused)) return false;
    }
    if (unit(name.back()) == '.' || unit(name.back()) == ' ') return false;
    return !is_device_name(name);
}

}  // namespace

bool is_bare_file_name(const std::string& name) { return is_bare(name); }

bool is_bare_file_name(const std::wstring& name) { return is_bare(name); }

}  // namespace trevan
