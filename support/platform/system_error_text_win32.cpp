#include "support/platform/system_error_text.h"

#include <windows.h>

#include <memory>

namespace vennic {

std::string system_error_text(unsigned long code) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_FROM_SYSTEM,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer),
        0, nullptr);
    if (length == 0) return std::string();
    // The system allocated the buffer; free it on every way out.
    struct local_free {
        void operator()(char* p) const { LocalFree(p); }
    };
    std::unique_ptr<char, local_free> owner(buffer);
    std::string text(buffer, length);
    // System messages end in CR LF; drop exactly that ending (a text without
    // it is taken whole rather than cut short).
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0) text.resize(text.size() - 2);
    return text;
}

}  // namespace vennic
