// The registry as the language sources of add_language_option (Windows).
#include <windows.h>

#include "app/language_win32.h"
#include "app/machine.h"
#include "support/core/config.h"
#include "support/platform/registry.h"

namespace trevan {
namespace {

std::string read_value(HKEY root, const std::wstring& path, bool view64, const wchar_t* name) {
    vennic::registry2::key base(root);
    vennic::registry2::key key(base, path, view64);
    return key.read_string(name);
}

std::string read_from_registry(language_source source) {
    const vennic::config::record& names = vennic::config::current();
    switch (source) {
    case language_source::installer_language:
        // The uninstall information of a 64-bit system lives in its 64-bit view.
        return read_value(HKEY_LOCAL_MACHINE,
                          L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
                              names.product_name,
                          runs_on_64bit_windows(), L"InstallerLanguage");
    case language_source::user_first_key:
        return read_value(HKEY_CURRENT_USER,
                          L"SOFTWARE\\" + names.maker_short_name + L"\\KELMO\\Misc", false, L"Lang");
    case language_source::user_second_key:
        return read_value(HKEY_CURRENT_USER,
                          L"SOFTWARE\\" + names.maker_short_name + L"\\Vorbelquint\\Misc", false,
                          L"Lang");
    }
    return std::string();
}

}  // namespace

std::string read_registry_language(language_source source) {
    static language_reads reads(read_from_registry);
    return reads(source);
}

}  // namespace trevan
