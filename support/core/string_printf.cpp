#include "support/core/string_printf.h"

#include <cstdio>
#include <cwchar>
#include <vector>

#include "support/core/exception.h"
#include "support/core/va_list_guard.h"

namespace vennic {
namespace {

// No text the system formats comes near this; a formatter that still reports
// "does not fit" here has failed for another reason.
constexpr std::size_t max_characters = std::size_t(1) << 26;

// Formats into buf; returns the character count, or -1 when the text did not
// fit. Throws when the formatter reports an error that no size can cure.
int bounded_format(char* buf, std::size_t size, const char* format, va_list args) {
#ifdef _WIN32
    va_list copy;
    va_copy(copy, args);
    int n = _vsnprintf(buf, size, format, copy);
    va_end(copy);
    if (n >= 0) return n;
    // _vsnprintf says -1 both for "too small" and for a broken format;
    // _vscprintf tells the two apart.
    va_copy(copy, args);
    int needed = _vscprintf(format, copy);
    va_end(copy);
    if (needed < 0) throw exception(std::string("string_vprintf: the text cannot be formatted"));
    return -1;
#else
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(buf, size, format, copy);
    va_end(copy);
    if (n < 0) throw exception(std::string("string_vprintf: the text cannot be formatted"));
    return static_cast<std::size_t>(n) < size ? n : -1;
#endif
}

int bounded_format(wchar_t* buf, std::size_t size, const wchar_t* format, va_list args) {
#ifdef _WIN32
    va_list copy;
    va_copy(copy, args);
    int n = _vsnwprintf(buf, size, format, copy);
    va_end(copy);
    if (n >= 0) return n;
    va_copy(copy, args);
    int needed = _vscwprintf(format, copy);
    va_end(copy);
    if (needed < 0) throw exception(std::string("wstring_vprintf: the text cannot be formatted"));
    return -1;
#else
    // vswprintf answers -1 for "too small" and for errors alike; only the
    // size bound ends a format that can never succeed.
    va_list copy;
    va_copy(copy, args);
    int n = std::vswprintf(buf, size, format, copy);
    va_end(copy);
    return n;
#endif
}

template <typename Char>
std::basic_string<Char> grow_and_format(const Char* format, va_list args, const char* who) {
    std::vector<Char> buffer(1024);
    for (;;) {
        int n = bounded_format(buffer.data(), buffer.size(), format, args);
        if (n >= 0) return std::basic_string<Char>(buffer.data(), static_cast<std::size_t>(n));
        if (buffer.size() >= max_characters)
            throw exception(std::string(who) + ": the text cannot be formatted");
        buffer.assign(buffer.size() * 2, Char());
    }
}

}  // namespace

std::string string_vprintf(const char* format, va_list args) {
    return grow_and_format(format, args, "string_vprintf");
}

std::wstring wstring_vprintf(const wchar_t* format, va_list args) {
    return grow_and_format(format, args, "wstring_vprintf");
}

std::string string_printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list_guard end(args);
    return string_vprintf(format, args);
}

std::wstring wstring_printf(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    va_list_guard end(args);
    return wstring_vprintf(format, args);
}

}  // namespace vennic
