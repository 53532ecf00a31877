#include "support/platform/registry.h"

#include <cstdint>
#include <vector>

#include "support/core/string_printf.h"
#include "support/platform/unicode.h"

namespace vennic {
namespace registry2 {

generic::generic(const std::string& message) : vennic::exception(message) {
    extend_category_path("registry2");
}
key_error::key_error(const std::string& message) : generic(message) {
    extend_category_path("key_error");
}
value_error::value_error(const std::string& message) : generic(message) {
    extend_category_path("value_error");
}
type_mismatch::type_mismatch(const std::string& message) : generic(message) {
    extend_category_path("type_mismatch");
}
size_mismatch::size_mismatch(const std::string& message) : generic(message) {
    extend_category_path("size_mismatch");
}

namespace {

constexpr REGSAM read_write_access = KEY_READ | KEY_SET_VALUE | KEY_CREATE_SUB_KEY;  // 0x2001F
constexpr REGSAM read_only_access = KEY_READ;                                        // 0x20019

// The expansion area of a REG_EXPAND_SZ value, in characters.
constexpr DWORD expansion_area = 0x8000;

// Names go into messages in the ANSI code page; one it cannot represent
// makes the message (and so the error) a conversion error.
std::string narrow(const std::wstring& text) {
    return unicode::to_narrow(text, CP_ACP, true);
}

LONG open(HKEY parent, const wchar_t* path, REGSAM view, HKEY* result) {
    LONG status = RegOpenKeyExW(parent, path, 0, read_write_access | view, result);
    if (status == ERROR_ACCESS_DENIED)
        status = RegOpenKeyExW(parent, path, 0, read_only_access | view, result);
    return status;
}

std::wstring expand(const std::wstring& name, const std::wstring& text) {
    std::vector<wchar_t> area(expansion_area);
    DWORD count = ExpandEnvironmentStringsW(text.c_str(), area.data(), expansion_area);
    // A larger area would not help: the system expands at most 32K
    // characters and, asked for more, reports the full size but writes a
    // cut text. So a result that does not fit is an error, not a shorter
    // value.
    LONG error = count == 0 ? static_cast<LONG>(GetLastError()) : ERROR_INSUFFICIENT_BUFFER;
    if (count == 0 || count > expansion_area)
        throw value_error(string_printf("ExpandEnvironmentStrings() failed: value \"%s\" (%i)",
                                        narrow(name).c_str(), static_cast<int>(error)));
    return std::wstring(area.data(), count - 1);
}

}  // namespace

key::key(HKEY root) {
    LONG status = open(root, nullptr, 0, &handle_);
    if (status != ERROR_SUCCESS) {
        handle_ = nullptr;
        // Predefined roots are negative as 32-bit numbers:
        // HKEY_LOCAL_MACHINE prints as -2147483646.
        throw key_error(string_printf("RegOpenKeyEx() failed: handle %i (%i)",
                                      static_cast<int>(reinterpret_cast<std::intptr_t>(root)),
                                      static_cast<int>(status)));
    }
}

key::key(const key& parent, const std::wstring& path, bool view64) {
    LONG status = open(parent.handle_, path.c_str(), view64 ? KEY_WOW64_64KEY : 0, &handle_);
    if (status != ERROR_SUCCESS) {
        handle_ = nullptr;
        throw key_error(string_printf("RegOpenKeyEx() failed: key \"%s\" (%i)", narrow(path).c_str(),
                                      static_cast<int>(status)));
    }
}

key::~key() { RegCloseKey(handle_); }

std::wstring key::read_wstring(const std::wstring& name) const {
    DWORD type = REG_NONE;
    DWORD size = 0;
    // Any failure of the size query (not only a missing value) leaves the
    // type REG_NONE and is reported as "Not found".
    if (RegQueryValueExW(handle_, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        type = REG_NONE;
        size = 0;
    }

    if (type == REG_NONE) throw value_error(string_printf("Not found: value \"%s\"", narrow(name).c_str()));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw type_mismatch(string_printf("Type mismatch: value \"%s\" expected %i found %i",
                                          narrow(name).c_str(), static_cast<int>(REG_SZ),
                                          static_cast<int>(type)));

    // The area holds every byte the system was told about (an odd size
    // included); the text is the whole characters among them.
    std::vector<wchar_t> buffer((size + 1) / 2, L'\0');
    DWORD size2 = size;
    LONG status = RegQueryValueExW(handle_, name.c_str(), nullptr, nullptr,
                                   reinterpret_cast<BYTE*>(buffer.data()), &size2);
    if (size2 != size)
        throw size_mismatch(string_printf("Size mismatch: value \"%s\" expected %i found %i",
                                          narrow(name).c_str(), static_cast<int>(size),
                                          static_cast<int>(size2)));
    if (status != ERROR_SUCCESS)
        throw value_error(string_printf("RegQueryValueEx() failed: value \"%s\" (%i)",
                                        narrow(name).c_str(), static_cast<int>(status)));

    std::wstring text(buffer.data(), size / 2);
    // Only one terminating zero belongs to the storage; a second is text.
    if (!text.empty() && text.back() == L'\0') text.pop_back();

    if (type == REG_EXPAND_SZ) return expand(name, std::wstring(text.c_str()));
    return text;
}

std::string key::read_string(const std::wstring& name) const {
    return unicode::to_narrow(read_wstring(name), CP_ACP, true);
}

}  // namespace registry2
}  // namespace vennic
