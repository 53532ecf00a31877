#include "support/platform/exception_w.h"

#include <windows.h>

#include <cstdarg>

#include "support/core/string_printf.h"
#include "support/core/va_list_guard.h"
#include "support/platform/unicode.h"

namespace vennic {

exception_w::exception_w(const wchar_t* format, ...) : exception(std::string()) {
    va_list args;
    va_start(args, format);
    va_list_guard end(args);
    message_w_ = wstring_vprintf(format, args);
}

exception_w::~exception_w() = default;

void exception_w::make_narrow_copies() const {
    if (narrowed_) return;
    message_ = unicode::to_narrow(message_w_, CP_ACP, false);
    category_path_ = unicode::to_narrow(category_path_w_, CP_ACP, false);
    narrowed_ = true;
}

const char* exception_w::what() const noexcept {
    try {
        make_narrow_copies();
    } catch (...) {
        // A handler that shows what() must not end the process; say at least
        // what kind of error this was.
        return "[exception_w: the message cannot be converted]";
    }
    return exception::what();
}

const char* exception_w::message() const {
    make_narrow_copies();
    return exception::message();
}

const char* exception_w::category_path() const {
    make_narrow_copies();
    return exception::category_path();
}

const wchar_t* exception_w::what_w() const {
    what_w_buffer_ = category_path_w_ + L"[" + message_w_ + L"]";
    return what_w_buffer_.c_str();
}

const wchar_t* exception_w::message_w() const { return message_w_.c_str(); }

const wchar_t* exception_w::category_path_w() const { return category_path_w_.c_str(); }

}  // namespace vennic
