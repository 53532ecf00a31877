// The runtime's error functions for the program (Windows trees only).
//
// The standard library reports a misused container or string (an index past
// the end, a length beyond max_size) through std::__throw_length_error and
// its siblings, which build std::length_error and the like. Those classes
// carry their text in the runtime's old reference-counted string, whose
// whole instantiation and that of the exception classes (about 50 KB of the
// program, with their unwind tables) come along with the first string the
// program uses. The program never catches these errors by their types: any
// of them is a fault that ends the run through the top-level handler, which
// shows what() of a std::exception. So the program supplies these functions
// itself: the text-carrying errors are thrown as one small std::exception
// that shows the runtime's message text, formatted as the runtime formats it
// (%s, %zu and %%), and the others as the standard classes, which need no
// string. Should the
// runtime ever need another function of the same object file, the link
// fails with a duplicate definition rather than mixing the two.
#include <cstdarg>
#include <cstddef>
#include <exception>
#include <new>
#include <typeinfo>

namespace {

// The text lives in the object: no allocation while an error is reported.
class runtime_error_text final : public std::exception {
public:
    explicit runtime_error_text(const char* text) noexcept { append(text ? text : "runtime error"); }

    // The runtime's own small format language: %s, %zu and %%.
    runtime_error_text(const char* format, va_list args) noexcept {
        for (const char* p = format; *p; ++p) {
            if (p[0] == '%' && p[1] == 's') {
                append(va_arg(args, const char*));
                ++p;
            } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
                append_number(va_arg(args, std::size_t));
                p += 2;
            } else if (p[0] == '%' && p[1] == '%') {
                append_char('%');
                ++p;
            } else {
                append_char(*p);
            }
        }
    }

    const char* what() const noexcept override { return text_; }

private:
    void append_char(char c) noexcept {
        if (length_ + 1 < sizeof text_) text_[length_++] = c;
        text_[length_] = '\0';
    }
    void append(const char* text) noexcept {
        for (; text && *text; ++text) append_char(*text);
    }
    void append_number(std::size_t n) noexcept {
        char digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char>('0' + n % 10);
            n /= 10;
        } while (n > 0);
        while (count > 0) append_char(digits[--count]);
    }

    char text_[256] = {};
    std::size_t length_ = 0;
};

}  // namespace

namespace std {

void __throw_bad_exception() { throw std::bad_exception(); }
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_bad_cast() { throw std::bad_cast(); }
void __throw_bad_typeid() { throw std::bad_typeid(); }

void __throw_logic_error(const char* text) { throw runtime_error_text(text); }
void __throw_domain_error(const char* text) { throw runtime_error_text(text); }
void __throw_invalid_argument(const char* text) { throw runtime_error_text(text); }
void __throw_length_error(const char* text) { throw runtime_error_text(text); }
void __throw_out_of_range(const char* text) { throw runtime_error_text(text); }
void __throw_out_of_range_fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    runtime_error_text error(format, args);
    va_end(args);
    throw error;
}
void __throw_runtime_error(const char* text) { throw runtime_error_text(text); }
void __throw_range_error(const char* text) { throw runtime_error_text(text); }
void __throw_overflow_error(const char* text) { throw runtime_error_text(text); }
void __throw_underflow_error(const char* text) { throw runtime_error_text(text); }

}  // namespace std
