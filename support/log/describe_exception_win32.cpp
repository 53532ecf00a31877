#include "support/log/describe_exception.h"

#include <windows.h>
#include <comdef.h>

#include <exception>

#include "support/core/string_printf.h"
#include "support/platform/exception_w.h"
#include "support/platform/unicode.h"

namespace vennic {
namespace log {

std::wstring describe_current_exception(std::wstring prefix) {
    if (!prefix.empty() && prefix.back() != L' ') prefix += L' ';
    try {
        throw;
    } catch (const _com_error& e) {
        return wstring_printf(L"%s _com_error: %S", prefix.c_str(), e.ErrorMessage());
    } catch (const vennic::exception_w& e) {
        return wstring_printf(L"%s exception: %s", prefix.c_str(), e.what_w());
    } catch (const std::exception& e) {
        std::wstring text = unicode::to_wide(e.what(), CP_ACP);
        return wstring_printf(L"%s exception: %s", prefix.c_str(), text.c_str());
    } catch (...) {
        return wstring_printf(L"%s unknown exception", prefix.c_str());
    }
}

}  // namespace log
}  // namespace vennic
