#include "support/platform/config.h"

#include <shlobj.h>

#include "support/core/exception.h"
#include "support/platform/exception_w.h"

namespace vennic {
namespace {

std::wstring load_from_module(unsigned id, const void* module) {
    return load_resource_string(id, static_cast<HMODULE>(const_cast<void*>(module)));
}

}  // namespace

std::wstring load_resource_string(unsigned id, HMODULE module) {
    wchar_t buffer[260] = {};
    int length = LoadStringW(module, id, buffer, 260);
    // Zero is the answer for a missing and for an empty string alike.
    if (length <= 0) throw exception("resource string %d is not found", static_cast<int>(id));
    return std::wstring(buffer);
}

namespace config {

void start(HMODULE module) {
    load_names(load_from_module, module);
    init(module);
}

void init(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    if (GetModuleFileNameW(module, path, MAX_PATH) == 0)
        throw exception_w(L"Error. config::init. GetModuleFileName return 0.");
    wchar_t folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        throw exception_w(L"Error. config::init. Can not find CSIDL_COMMON_APPDATA.");
}

}  // namespace config
}  // namespace vennic
