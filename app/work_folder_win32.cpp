#include "app/work_folder.h"

#include <windows.h>
#include <sddl.h>
#include <winternl.h>

#include <ctime>
#include <optional>
#include <vector>

#include "support/platform/file_identity.h"
#include "support/platform/paths.h"
#include "support/platform/unicode.h"

namespace trevan {
namespace {

// How many names after the first a run tries before it gives up on making a
// fresh work folder.
constexpr int max_name_attempts = 100;

// Owns a FindFirstFileA search handle.
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
    entry_handle(const std::string& path, purpose p)
        : handle_(CreateFileA(path.c_str(), (p == remove ? DELETE : 0) | FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                         nullptr)) {}
    bool valid() const { return static_cast<bool>(handle_); }

    // The full path of what the handle refers to, links in it resolved;
    // empty when the system cannot tell.
    std::wstring final_path() const { return vennic::final_path(handle_.get()); }

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
void delete_entry(const std::string& path, const std::wstring& folder) {
    entry_handle entry(path, entry_handle::remove);
    if (entry.valid() && lies_in(entry, folder)) entry.mark_for_deletion();
}

// Empties and removes the folder; true when it is gone. With a parent given
// (the parent's final path), the folder must lie directly in it. A handle
// held on the folder without delete sharing (held) is closed just before
// the folder itself is deleted, which its sharing would refuse; then
// before_deletion, if given, is called.
bool remove_folder(const std::string& folder, const std::wstring& parent, vennic::unique_handle* held,
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

    std::string base = folder;
    if (base.empty() || (base.back() != '\\' && base.back() != '/')) base += '\\';
    WIN32_FIND_DATAA entry;
    {
        find_handle search(FindFirstFileA((base + "*").c_str(), &entry));
        if (!search.valid()) return false;
        do {
            const std::string path = base + entry.cFileName;
            const DWORD attributes = entry.dwFileAttributes;
            if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                // "." and "..", and any folder whose name starts with a dot.
                if (entry.cFileName[0] == '.') continue;
                if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                    delete_entry(path, folder_path);  // a link to a folder: never entered
                else
                    remove_folder(path, folder_path, nullptr, nullptr);
            } else {
                // Files and file links alike: a link is deleted as a link.
                delete_entry(path, folder_path);
            }
        } while (FindNextFileA(search.get(), &entry));
    }

    // Deleted through a handle that is checked to be the folder just emptied:
    // the same path and the same folder, not one that took its name since.
    if (held) held->reset();
    if (before_deletion) before_deletion(folder);
    entry_handle handle(folder, entry_handle::remove);
    return handle.valid() && !handle.is_link() && vennic::same_path(handle.final_path(), folder_path) &&
           handle.identity() == folder_id && handle.mark_for_deletion();
}

// The text in the ANSI code page when that represents it exactly: no
// character left out or replaced by a look-alike ("a" for "ā" would name
// another folder). Nothing when it does not, or for an empty text.
std::optional<std::string> exact_ansi(const std::wstring& text) {
    const UINT code_page = GetACP();
    const DWORD flags = vennic::unicode::is_flag_capable(code_page) ? WC_NO_BEST_FIT_CHARS : 0;
    const int size = static_cast<int>(text.size());
    if (size == 0) return std::nullopt;
    const int n = WideCharToMultiByte(code_page, flags, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0) return std::nullopt;
    std::string out(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(code_page, flags, text.data(), size, &out[0], n, nullptr, nullptr) != n)
        return std::nullopt;
    // What reads back as the same text is exact.
    const int back = MultiByteToWideChar(code_page, 0, out.data(), n, nullptr, 0);
    if (back != size) return std::nullopt;
    std::wstring round(static_cast<std::size_t>(back), L'\0');
    MultiByteToWideChar(code_page, 0, out.data(), n, &round[0], back);
    if (round != text) return std::nullopt;
    return out;
}

std::string fitting(const std::string& path) { return path.size() < MAX_PATH ? path : std::string(); }

// The folder's name in the object namespace for NtCreateFile: the full path
// behind "\??\" ("\??\UNC\" for a share), as CreateDirectory would form it.
std::wstring nt_name(const std::string& folder) {
    std::wstring wide;
    try {
        wide = vennic::unicode::to_wide(folder, CP_ACP);
    } catch (...) {
        return std::wstring();
    }
    while (wide.size() > 1 && (wide.back() == L'\\' || wide.back() == L'/')) wide.pop_back();
    const std::wstring path = vennic::full_path(wide);
    if (path.empty()) return std::wstring();
    if (path.compare(0, 4, L"\\\\?\\") == 0 || path.compare(0, 4, L"\\\\.\\") == 0)
        return L"\\??\\" + path.substr(4);
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + path.substr(2);
    return L"\\??\\" + path;
}

using nt_create_file_fn = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                           PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using status_to_error_fn = ULONG(NTAPI*)(NTSTATUS);

// Creates the folder with the descriptor and opens it in the same step: the
// handle is of the folder this call made, never of one that took its name
// after a separate creation. CreateDirectory makes the folder the same way
// but closes its handle. The error is ERROR_ALREADY_EXISTS when the name is
// taken.
vennic::error_or<vennic::unique_handle> create_held_folder(const std::string& folder,
                                                           PSECURITY_DESCRIPTOR descriptor) {
    HMODULE ntdll = GetModuleHandleA("ntdll");
    auto nt_create_file = reinterpret_cast<nt_create_file_fn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtCreateFile")));
    auto status_to_error = reinterpret_cast<status_to_error_fn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
    if (!nt_create_file || !status_to_error) return vennic::system_error{ERROR_PROC_NOT_FOUND};
    std::wstring name = nt_name(folder);
    if (name.empty() || name.size() * sizeof(wchar_t) > 0xFFFE) return vennic::system_error{ERROR_INVALID_NAME};
    UNICODE_STRING object_name;
    object_name.Buffer = &name[0];
    object_name.Length = static_cast<USHORT>(name.size() * sizeof(wchar_t));
    object_name.MaximumLength = object_name.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &object_name, OBJ_CASE_INSENSITIVE, nullptr, descriptor);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    const NTSTATUS status = nt_create_file(
        &handle, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE, &attributes, &io, nullptr,
        FILE_ATTRIBUTE_NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE,
        FILE_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_FOR_BACKUP_INTENT, nullptr, 0);
    if (status < 0) return vennic::system_error{status_to_error(status)};
    return vennic::unique_handle(handle);
}

}  // namespace

std::string temp_path() {
    std::vector<wchar_t> wide(MAX_PATH + 1);
    DWORD length = GetTempPathW(static_cast<DWORD>(wide.size()), wide.data());
    if (length >= wide.size()) {
        wide.resize(length + 1);
        length = GetTempPathW(static_cast<DWORD>(wide.size()), wide.data());
    }
    if (length == 0 || length >= wide.size()) return std::string();
    const std::wstring path(wide.data(), length);

    if (const std::optional<std::string> ansi = exact_ansi(path)) return fitting(*ansi);

    std::vector<wchar_t> short_form(MAX_PATH);
    length = GetShortPathNameW(path.c_str(), short_form.data(), static_cast<DWORD>(short_form.size()));
    if (length > 0 && length < short_form.size()) {
        if (const std::optional<std::string> ansi = exact_ansi(std::wstring(short_form.data(), length)))
            return fitting(*ansi);
    }

    // No form the code page can hold: the system's ANSI text, with which the
    // run ends as it always did.
    char buffer[MAX_PATH];
    length = GetTempPathA(MAX_PATH, buffer);
    // A path that does not fit is reported by its needed size, with nothing
    // usable in the buffer: the same as no path at all.
    if (length == 0 || length >= MAX_PATH) return std::string();
    return std::string(buffer, length);
}

vennic::failure no_temp_path_failure() {
    return {"GetTempPath failed", "Unable to get Temporary Directory", 0};
}

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

work_folder::work_folder(std::string path, vennic::unique_handle handle)
    : path_(std::move(path)), handle_(std::move(handle)) {}

work_folder::~work_folder() { remove(); }

work_folder::work_folder(work_folder&& other) noexcept
    : path_(std::move(other.path_)), handle_(std::move(other.handle_)) {
    other.path_.clear();
}

work_folder& work_folder::operator=(work_folder&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::move(other.path_);
        handle_ = std::move(other.handle_);
        other.path_.clear();
    }
    return *this;
}

bool work_folder::remove(before_folder_deletion before_deletion) {
    if (path_.empty()) return false;
    const std::string path = path_;
    path_.clear();
    // The current directory's own handle would keep the folder.
    SetCurrentDirectoryA(parent_folder(path).c_str());
    const bool gone = remove_folder(path, std::wstring(), &handle_, before_deletion);
    handle_.reset();
    return gone;
}

// Makes work folders; the one place that hands a new folder to its owner.
struct work_folder_maker {
    static work_folder make(std::string path, vennic::unique_handle handle) {
        return work_folder(std::move(path), std::move(handle));
    }
};

work_folder_result make_work_folder(const std::string& temp) {
    // Makes the fallback folder exist; an existing folder is no error.
    CreateDirectoryA(temp.c_str(), nullptr);

    // The run starts its setup program elevated from this folder, so it must
    // be one this run created: an existing folder of the same name may hold
    // files planted by someone else.
    work_folder_result result;
    const vennic::error_or<security_descriptor> security = work_folder_security();
    unsigned long error = security.error();
    if (security) {
        const long long now = static_cast<long long>(std::time(nullptr));
        for (int attempt = 0; attempt <= max_name_attempts; ++attempt) {
            std::string folder = temp + work_folder_name(now + attempt);
            vennic::error_or<vennic::unique_handle> handle = create_held_folder(folder, security->get());
            if (handle) {
                result.folder = work_folder_maker::make(folder, std::move(*handle));
                if (SetCurrentDirectoryA(folder.c_str())) return result;
                error = GetLastError();
                result.folder.remove();
                break;
            }
            error = handle.error();
            if (error != ERROR_ALREADY_EXISTS) break;
        }
    }
    result.failure = vennic::failure{"SetCurrentDirectory failed", "Unable to set Working Directory", error};
    return result;
}

bool remove_tree(const std::string& folder) {
    // Every deletion goes through a handle of the entry itself, checked to lie
    // in the folder being emptied: nothing a link points to is ever deleted,
    // also when an entry is swapped for a link while the tree is removed.
    return remove_folder(folder, std::wstring(), nullptr, nullptr);
}

}  // namespace trevan
