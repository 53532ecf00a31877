#pragma once

// Ends an argument list begun with va_start in the same function, on every
// way out of it, exceptions included.

#include <cstdarg>

namespace vennic {

class va_list_guard {
public:
    explicit va_list_guard(va_list& args) noexcept : args_(args) {}
    ~va_list_guard() { va_end(args_); }
    va_list_guard(const va_list_guard&) = delete;
    va_list_guard& operator=(const va_list_guard&) = delete;

private:
    va_list& args_;
};

}  // namespace vennic
