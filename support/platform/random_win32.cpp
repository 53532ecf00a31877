#include "support/platform/random.h"

#include <windows.h>
#include <bcrypt.h>

#include <string>
#include <vector>

namespace vennic {
namespace {

// Sole owner of a loaded library: freed on every way out.
class unique_module {
public:
    explicit unique_module(HMODULE module) : module_(module) {}
    ~unique_module() {
        if (module_) FreeLibrary(module_);
    }
    unique_module(const unique_module&) = delete;
    unique_module& operator=(const unique_module&) = delete;

    HMODULE get() const { return module_; }

private:
    HMODULE module_;
};

// bcrypt.dll from the system folder and nowhere else. Windows 7 without
// KB2533623 knows no LOAD_LIBRARY_SEARCH_ flags (ERROR_INVALID_PARAMETER):
// there the library is named by the system folder's full path instead.
HMODULE load_system_bcrypt() {
    if (HMODULE module = LoadLibraryExW(L"bcrypt.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) return module;
    if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
    std::vector<wchar_t> folder(MAX_PATH);
    const UINT n = GetSystemDirectoryW(folder.data(), static_cast<UINT>(folder.size()));
    if (n == 0 || n >= folder.size()) return nullptr;
    const std::wstring path = std::wstring(folder.data(), n) + L"\\bcrypt.dll";
    return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

error_or<std::uint32_t> system_random_number() {
    // Not ADVAPI32's RtlGenRandom (SystemFunction036): the system forwards
    // that export to CRYPTBASE.dll, which is no KnownDLL, so a static import
    // of it loads CRYPTBASE.dll from the program's folder, before WinMain.
    const unique_module bcrypt(load_system_bcrypt());
    if (!bcrypt.get()) return system_error{GetLastError()};
    using gen_random_fn = decltype(&BCryptGenRandom);
    const auto gen_random = reinterpret_cast<gen_random_fn>(
        reinterpret_cast<void*>(GetProcAddress(bcrypt.get(), "BCryptGenRandom")));
    if (!gen_random) return system_error{GetLastError()};
    std::uint32_t number = 0;
    if (!BCRYPT_SUCCESS(gen_random(nullptr, reinterpret_cast<PUCHAR>(&number), sizeof number,
                                   BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return system_error{ERROR_GEN_FAILURE};
    return number;
}

}  // namespace vennic
