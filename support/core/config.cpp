#include "support/core/config.h"

#include <shlobj.h>

#include "support/core/exception.h"
#include "support/core/exception_w.h"

namespace vennic {

std::wstring load_resource_string(unsigned id, HMODULE module) {
    wchar_t buffer[260] = {};
    int length = LoadStringW(module, id, buffer, 260);
    // Zero is the answer for a missing and for an empty string alike.
    if (length <= 0) throw exception("resource string %d is not found", static_cast<int>(id));
    return std::wstring(buffer);
}

namespace config {
namespace {

record& the_record() {
    static record instance;
    return instance;
}

}  // namespace

const record& current() { return the_record(); }

void start(HMODULE module) {
    record& r = the_record();
    r.maker_short_name = load_resource_string(2001, module);
    r.product_name = load_resource_string(2002, module);
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
