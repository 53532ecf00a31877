#include "app/work_folder.h"

#include <windows.h>
#include <ntsecapi.h>
#include <sddl.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <vector>

#include "support/platform/file_identity.h"
#include "support/platform/native.h"
#include "support/platform/paths.h"

namespace trevan {
namespace {

// How many unpredictable names a run tries after the first before it gives
// up on making a fresh work folder. Each is one of 2^32: to take them all
// in advance, a user would have to make billions of folders.
constexpr int max_random_names = 100;

// Owns a FindFirstFileW search handle.
class find_handle {
public:
    explicit find_handle(HANDLE h) : h_(h) {}
    find_handle(const find_handle&) = delete;
    find_handle& operator=(const find_handle&) = delete;
    ~find_handle() {
        if (valid()) FindClose(h_);
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Owns a handle of a file or folder to be removed.
class entry_handle {
public:
    enum purpose { inspect, remove };

    // Opens the entry itself, never what a link points to; others may keep
    // reading, writing and deleting meanwhile. A handle to inspect only (no
    // right to delete) does not stop others from listing a folder.
    entry_handle(const std::wstring& path, purpose p)
        : handle_(CreateFileW(path.c_str(), (p == remove ? DELETE : 0) | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr)) {}
    bool valid() const { return static_cast<bool>(handle_); }

    // The full path of what the handle refers to, links in it resolved;
    // empty when the system cannot tell, which is the same path as none.
    std::wstring final_path() const {
        vennic::error_or<std::wstring> path = vennic::final_path(handle_.get());
        return path ? std::move(*path) : std::wstring();
    }

    vennic::file_identity identity() const { return vennic::identity_of(handle_.get()); }

    bool is_link() const {
        FILE_ATTRIBUTE_TAG_INFO info = {};
        return GetFileInformationByHandleEx(handle_.get(), FileAttributeTagInfo, &info, sizeof info) &&
               (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    }

    // Marks the entry for deletion when the last handle closes. Fails for
    // read-only files and for folders that are not empty.
    bool mark_for_deletion() const {
        FILE_DISPOSITION_INFO info = {TRUE};
        return SetFileInformationByHandle(handle_.get(), FileDispositionInfo, &info, sizeof info) != 0;
    }

private:
    vennic::unique_handle handle_;
};

// Whether the handle refers to an entry that lies directly in the folder
// whose final path is given, rather than to something a link leads to (a
// system that cannot open links themselves resolves them on open).
bool lies_in(const entry_handle& entry, const std::wstring& folder) {
    return vennic::lies_directly_in(entry.final_path(), folder);
}

// Deletes one file or link that must lie in the folder; the result is not
// needed.
void delete_entry(const std::wstring& path, const std::wstring& folder) {
    entry_handle entry(path, entry_handle::remove);
    if (entry.valid() && lies_in(entry, folder)) entry.mark_for_deletion();
}

// Empties and removes the folder; true when it is gone. With a parent given
// (the parent's final path), the folder must lie directly in it. A handle
// held on the folder without delete sharing (held) is closed just before
// the folder itself is deleted, which its sharing would refuse; then
// before_deletion, if given, is called.
bool remove_folder(const std::wstring& folder, const std::wstring& parent, vennic::unique_handle* held,
                   before_folder_deletion before_deletion) {
    std::wstring folder_path;
    vennic::file_identity folder_id;
    {
        entry_handle handle(folder, entry_handle::inspect);
        if (!handle.valid()) return false;
        // A folder that became a link since it was listed is not entered.
        if (handle.is_link() || (!parent.empty() && !lies_in(handle, parent))) return false;
        folder_path = handle.final_path();
        folder_id = handle.identity();
    }
    if (folder_path.empty() || !folder_id.known) return false;

    std::wstring base = folder;
    if (base.empty() || (base.back() != L'\\' && base.back() != L'/')) base += L'\\';
    WIN32_FIND_DATAW entry;
    {
        find_handle search(FindFirstFileW((base + L"*").c_str(), &entry));
        if (!search.valid()) return false;
        do {
            const std::wstring path = base + entry.cFileName;
            const DWORD attributes = entry.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // "." and "..", and any folder whose name starts with a dot.
                if (entry.cFileName[0] == L'.') continue;
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    delete_entry(path, folder_path);  // a link to a folder: never entered
                else
                    remove_folder(path, folder_path, nullptr, nullptr);
            } else {
                // Files and file links alike: a link is deleted as a link.
                delete_entry(path, folder_path);
            }
        } while (FindNextFileW(search.get(), &entry));
    }

    // Deleted through a handle that is checked to be the folder just emptied:
    // the same path and the same folder, not one that took its name since.
    if (held) held->reset();
    if (before_deletion) before_deletion(folder);
    entry_handle handle(folder, entry_handle::remove);
    return handle.valid() && !handle.is_link() && vennic::same_path(handle.final_path(), folder_path) &&
           handle.identity() == folder_id && handle.mark_for_deletion();
}

// An unpredictable number from the system's random source; nothing when the
// source fails.
std::optional<std::uint32_t> random_number() {
    std::uint32_t number = 0;
    if (!RtlGenRandom(&number, sizeof number)) return std::nullopt;
    return number;
}

// Creates the folder name in the held parent with the descriptor and opens
// it in the same step: the handle is of the folder this call made, never of
// one that took its name after a separate creation, and the name is looked
// up in the held parent only. The error is ERROR_ALREADY_EXISTS when the
// name is taken.
vennic::error_or<vennic::unique_handle> create_held_folder(HANDLE parent, const std::wstring& name,
                                                           PSECURITY_DESCRIPTOR descriptor) {
    return vennic::open_at(parent, name,
                           {FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
                            FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, descriptor});
}

// The system's own temporary folder, for a volume that keeps no access
// lists.
vennic::error_or<temp_folder> system_temp_folder() {
    std::vector<wchar_t> windows(MAX_PATH);
    const UINT n = GetSystemWindowsDirectoryW(windows.data(), static_cast<UINT>(windows.size()));
    if (n == 0 || n >= windows.size()) return vennic::system_error{GetLastError()};
    std::wstring path(windows.data(), n);
    if (path.back() != L'\\') path += L'\\';
    return open_temp_folder(path + L"Temp\\");
}

}  // namespace

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

vennic::error_or<security_descriptor> work_folder_security() {
    // The user as the token names it: an elevated run still runs as the user
    // who started it, whose unelevated processes share that name.
    vennic::unique_handle token;
    {
        HANDLE h = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &h)) return vennic::system_error{GetLastError()};
        token.reset(h);
    }
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> user(size ? size : 1);
    if (!GetTokenInformation(token.get(), TokenUser, user.data(), size, &size))
        return vennic::system_error{GetLastError()};
    char* sid_text = nullptr;
    if (!ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid_text))
        return vennic::system_error{GetLastError()};
    const std::string sid(sid_text);
    LocalFree(sid_text);

    // O:BA owner Administrators. D:P a protected list: nothing inherited from
    // the user's temporary folder. OICI: each entry passes to files and
    // folders inside. FA full control; 0x1200A9 is FILE_GENERIC_READ |
    // FILE_GENERIC_EXECUTE, without any right to write, delete or change
    // permissions.
    const std::string text = "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;" + sid + ")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(text.c_str(), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return vennic::system_error{GetLastError()};
    return security_descriptor(descriptor);
}

work_folder::work_folder(std::string path, std::wstring wide_path, vennic::unique_handle handle)
    : path_(std::move(path)), wide_path_(std::move(wide_path)), handle_(std::move(handle)) {}

work_folder::~work_folder() { remove(); }

work_folder::work_folder(work_folder&& other) noexcept
    : path_(std::move(other.path_)), wide_path_(std::move(other.wide_path_)), handle_(std::move(other.handle_)) {
    other.path_.clear();
    other.wide_path_.clear();
}

work_folder& work_folder::operator=(work_folder&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::move(other.path_);
        wide_path_ = std::move(other.wide_path_);
        handle_ = std::move(other.handle_);
        other.path_.clear();
        other.wide_path_.clear();
    }
    return *this;
}

bool work_folder::remove(before_folder_deletion before_deletion) {
    if (wide_path_.empty()) return false;
    const std::wstring path = wide_path_;
    path_.clear();
    wide_path_.clear();
    // The current directory's own handle would keep the folder: the parent
    // becomes it (".." is taken from the text, not looked up).
    SetCurrentDirectoryW((path + L"..").c_str());
    const bool gone = remove_folder(path, std::wstring(), &handle_, before_deletion);
    handle_.reset();
    return gone;
}

// Makes work folders; the one place that hands a new folder to its owner.
struct work_folder_maker {
    static work_folder make(std::string path, std::wstring wide_path, vennic::unique_handle handle) {
        return work_folder(std::move(path), std::move(wide_path), std::move(handle));
    }
};

bool keeps_access_lists(HANDLE folder) {
    DWORD flags = 0;
    return GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_PERSISTENT_ACLS);
}

work_folder_result make_work_folder(const temp_folder& temp, access_list_check keeps_lists) {
    // The run starts its setup program elevated from this folder, so it must
    // be one this run created, where its descriptor holds: an existing folder
    // of the same name may hold files planted by someone else, and where no
    // access lists are kept anyone may write into it.
    const temp_folder* parent = &temp;
    vennic::error_or<temp_folder> system_temp = vennic::system_error{ERROR_NOT_SUPPORTED};
    if (!keeps_lists(temp.handle.get())) {
        system_temp = system_temp_folder();
        // Where that keeps none either, no folder protects anything.
        if (system_temp && !keeps_lists(system_temp->handle.get()))
            system_temp = vennic::system_error{ERROR_NOT_SUPPORTED};
        parent = system_temp ? &*system_temp : nullptr;
    }
    const vennic::error_or<security_descriptor> security = work_folder_security();
    unsigned long error = !parent ? system_temp.error()
                          : parent->text.empty() ? ERROR_NO_UNICODE_TRANSLATION
                                                 : security.error();
    work_folder_result result;
    long long number = static_cast<long long>(std::time(nullptr));
    for (int attempt = 0; error == 0 && attempt <= max_random_names; ++attempt) {
        if (attempt > 0) {
            const std::optional<std::uint32_t> random = random_number();
            if (!random) {
                error = ERROR_GEN_FAILURE;
                break;
            }
            number = *random;
        }
        const std::string name = work_folder_name(number);
        // ASCII: the same text in every code page.
        const std::wstring wide_name(name.begin(), name.end());
        vennic::error_or<vennic::unique_handle> handle =
            create_held_folder(parent->handle.get(), wide_name.substr(0, wide_name.size() - 1), security->get());
        if (!handle) {
            error = handle.error();
            // A taken name costs only the next try.
            if (error == ERROR_ALREADY_EXISTS) error = 0;
            continue;
        }
        const std::wstring wide_path = parent->path + wide_name;
        result.folder = work_folder_maker::make(parent->text + name, wide_path, std::move(*handle));
        if (SetCurrentDirectoryW(wide_path.c_str())) return result;
        error = GetLastError();
        result.folder.remove();
    }
    if (error == 0) error = ERROR_ALREADY_EXISTS;
    result.failure = work_folder_failure(error);
    return result;
}

vennic::failure work_folder_failure(unsigned long error) {
    return {"SetCurrentDirectory failed", "Unable to set Working Directory", error};
}

bool remove_tree(const std::wstring& folder) {
    // Every deletion goes through a handle of the entry itself, checked to lie
    // in the folder being emptied: nothing a link points to is ever deleted,
    // also when an entry is swapped for a link while the tree is removed.
    return remove_folder(folder, std::wstring(), nullptr, nullptr);
}

}  // namespace trevan
