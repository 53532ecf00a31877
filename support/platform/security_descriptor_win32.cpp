#include "support/platform/security_descriptor.h"

#include <sddl.h>

#include <string>
#include <vector>

#include "support/platform/handle.h"

namespace vennic {

security_descriptor::~security_descriptor() {
    if (descriptor_) LocalFree(descriptor_);
}

security_descriptor& security_descriptor::operator=(security_descriptor&& other) noexcept {
    if (this != &other) {
        if (descriptor_) LocalFree(descriptor_);
        descriptor_ = other.descriptor_;
        other.descriptor_ = nullptr;
    }
    return *this;
}

error_or<security_descriptor> protected_folder_security() {
    // The user as the token names it: an elevated run still runs as the user
    // who started it, whose unelevated processes share that name.
    unique_handle token;
    {
        HANDLE h = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &h)) return system_error{GetLastError()};
        token.reset(h);
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size ? size : 1);
    if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return system_error{GetLastError()};
    char* sid_text = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid_text))
        return system_error{GetLastError()};
    const std::string sid(sid_text);
    LocalFree(sid_text);

    // O:BA owner Administrators. D:P a protected list: nothing inherited from
    // the user's temporary folder. OICI: each entry passes to files and
    // folders inside. FA full control; 0x1200A9 is FILE_GENERIC_READ |
    // FILE_GENERIC_EXECUTE, without any right to write, delete or change
    // permissions.
    const std::string text = "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;" + sid + ")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return system_error{GetLastError()};
    return security_descriptor(descriptor);
}

}  // namespace vennic
