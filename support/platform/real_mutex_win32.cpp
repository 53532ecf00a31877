#include "support/platform/real_mutex.h"

#include "support/core/exception.h"

namespace vennic {
namespace {

// The program needs Windows 7 or later; should the version query fail, the
// naming rules of a current system are the right guess.
constexpr unsigned long assumed_major_version = 6;

unsigned long system_major_version() {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);  // 148 bytes
    if (!GetVersionExA(&info)) return assumed_major_version;
    return info.dwMajorVersion;
}

// Appends an ACE that allows mask to the well-known SID.
bool allow(PACL acl, WELL_KNOWN_SID_TYPE who, DWORD mask) {
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof sid;
    return CreateWellKnownSid(who, nullptr, sid, &size) && AddAccessAllowedAce(acl, ACL_REVISION, mask, sid);
}

}  // namespace

mutex_security::mutex_security() {
    const PACL acl = reinterpret_cast<PACL>(acl_);
    valid_ = InitializeAcl(acl, sizeof acl_, ACL_REVISION) && allow(acl, WinWorldSid, everyone_access) &&
             allow(acl, WinBuiltinAdministratorsSid, full_access) && allow(acl, WinLocalSystemSid, full_access) &&
             InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
             SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE);
    attributes_.nLength = sizeof(attributes_);
    attributes_.lpSecurityDescriptor = &descriptor_;
    attributes_.bInheritHandle = FALSE;
}

std::string real_mutex::object_name(const std::string& name, unsigned long major_version) {
    std::string::size_type last = name.rfind('\\');
    if (major_version <= 4) {
        // No kernel namespaces before Windows 2000.
        return last == std::string::npos ? name : name.substr(last + 1);
    }
    // Visible to every session, so that runs of other users are seen too.
    return last == std::string::npos ? "Global\\" + name : name;
}

real_mutex::real_mutex(const std::string& name) {
    // Every user's process can wait on the mutex, none but an administrator's
    // or the system's can change it; never a null DACL, under which anyone
    // could rewrite its access list and lock every later run out.
    mutex_security security;

    const std::string object = object_name(name, system_major_version());

    // An existing mutex of that name is opened by this call as well; the
    // open below is for one whose security refuses the full access that
    // CreateMutex asks for (as this descriptor does to other users).
    // SYNCHRONIZE is needed to wait on the handle; MUTEX_MODIFY_STATE is
    // what the open always asked for. Without a descriptor nothing is created.
    if (security.valid()) handle_.reset(CreateMutexA(security.attributes(), FALSE, object.c_str()));
    if (!handle_) handle_.reset(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, object.c_str()));
    if (!handle_) throw exception("OpenMutex returned 0x%08x", static_cast<unsigned>(GetLastError()));
}

real_mutex::~real_mutex() = default;

bool real_mutex::wait(unsigned long timeout_ms) {
    DWORD result = WaitForSingleObject(handle_.get(), timeout_ms);
    if (result == WAIT_TIMEOUT) return false;
    if (result == WAIT_FAILED)
        throw exception("WaitForSingleObject returned 0x%08x", static_cast<unsigned>(GetLastError()));
    // WAIT_OBJECT_0, or WAIT_ABANDONED: the previous owner ended without
    // releasing, and the mutex now belongs to this thread all the same.
    return true;
}

void real_mutex::lock() { wait(INFINITE); }

void real_mutex::unlock() {
    if (!ReleaseMutex(handle_.get()))
        throw exception("ReleaseMutex returned 0x%08x", static_cast<unsigned>(GetLastError()));
}

}  // namespace vennic
