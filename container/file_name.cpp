#include "container/file_name.h"

#include <cstring>

namespace trevan {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equals_upper(const std::string& text, const char* upper_text) {
    if (text.size() != std::strlen(upper_text)) return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upper(text[i]) != upper_text[i]) return false;
    return true;
}

// A digit of a COM or LPT port name: 0 to 9 or a superscript 1, 2 or 3.
bool is_port_number(const std::string& rest) {
    if (rest.size() == 1) {
        const unsigned char c = static_cast<unsigned char>(rest[0]);
        return (c >= '0' && c <= '9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
    }
    return rest == "\xC2\xB9" || rest == "\xC2\xB2" || rest == "\xC2\xB3";
}

// Windows takes the part before the first dot, without trailing blanks, as
// the device name: "nul.txt", "NUL .txt" and "nul.tar.gz" all open NUL.
bool is_device_name(const std::string& name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (equals_upper(base, device)) return true;
    if (base.size() < 4) return false;
    const std::string port = base.substr(0, 3);
    return (equals_upper(port, "COM") || equals_upper(port, "LPT")) && is_port_number(base.substr(3));
}

}  // namespace

bool is_bare_file_name(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 32 || std::strchr("\\/:*?\"<>|", c)) return false;
    if (name.back() == '.' || name.back() == ' ') return false;
    return !is_device_name(name);
}

}  // namespace trevan
