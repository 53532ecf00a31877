// The descriptor of the folders only administrators may change. Wine keeps
// none on its file systems, so it is read back from what is built.
#include <windows.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include "support/platform/security_descriptor.h"

namespace {

TEST(ProtectedFolderSecurity, AdministratorsOwnItAndTheUserOnlyReadsAndExecutes) {
    const vennic::error_or<vennic::security_descriptor> made = vennic::protected_folder_security();
    ASSERT_TRUE(made) << made.error();
    const vennic::security_descriptor& descriptor = *made;
    ASSERT_TRUE(descriptor);
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor.get()));

    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.get(), &owner, &defaulted));
    ASSERT_NE(owner, nullptr);
    EXPECT_TRUE(IsWellKnownSid(owner, WinBuiltinAdministratorsSid));

    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "entries of the temporary folder would pass in";

    BOOL present = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present);
    ASSERT_NE(dacl, nullptr) << "a null list would grant everyone everything";

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    unsigned char user_buffer[256];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user_buffer, sizeof user_buffer, &size));
    CloseHandle(token);
    const PSID user = reinterpret_cast<TOKEN_USER*>(user_buffer)->User.Sid;

    const DWORD writing = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES | DELETE |
                          FILE_DELETE_CHILD | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
    bool admins = false, system = false, the_user = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&header)));
        ASSERT_EQ(header->AceType, ACCESS_ALLOWED_ACE_TYPE) << i;
        EXPECT_EQ(header->AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << "inherited by files and folders inside, " << i;
        EXPECT_EQ(header->AceFlags & INHERIT_ONLY_ACE, 0) << i;
        const auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        const PSID sid = const_cast<DWORD*>(&ace->SidStart);
        if (IsWellKnownSid(sid, WinBuiltinAdministratorsSid)) {
            admins = true;
            EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
        } else if (IsWellKnownSid(sid, WinLocalSystemSid)) {
            system = true;
            EXPECT_EQ(ace->Mask, static_cast<DWORD>(FILE_ALL_ACCESS));
        } else if (EqualSid(sid, user)) {
            the_user = true;
            EXPECT_EQ(ace->Mask & writing, 0u) << std::hex << ace->Mask;
            EXPECT_EQ(ace->Mask & (FILE_READ_DATA | FILE_EXECUTE), static_cast<DWORD>(FILE_READ_DATA | FILE_EXECUTE))
                << std::hex << ace->Mask;
        } else {
            char* text = nullptr;
            ConvertSidToStringSidA(sid, &text);
            ADD_FAILURE() << "an entry for " << (text ? text : "?");
            LocalFree(text);
        }
    }
    EXPECT_TRUE(admins);
    EXPECT_TRUE(system);
    EXPECT_TRUE(the_user);
}

}  // namespace
