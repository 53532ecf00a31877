#include "support/core/exception.h"

#include <cstdarg>

#include "support/core/string_printf.h"
#include "support/core/va_list_guard.h"

namespace vennic {

exception::exception(const std::string& message) : message_(message) {}

exception::exception(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list_guard end(args);
    message_ = string_vprintf(format, args);
}

exception::~exception() = default;

const char* exception::what() const noexcept {
    try {
        what_buffer_ = category_path_ + "[" + message_ + "]";
        return what_buffer_.c_str();
    } catch (...) {
        // what() may not throw; without memory for the text the plain
        // message is still worth showing.
        return message_.c_str();
    }
}

const char* exception::message() const { return message_.c_str(); }

const char* exception::category_path() const { return category_path_.c_str(); }

void exception::extend_category_path(const char* name) {
    if (!category_path_.empty()) category_path_ += '.';
    category_path_ += name;
}

}  // namespace vennic
