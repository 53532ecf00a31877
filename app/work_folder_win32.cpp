#include "app/work_folder.h"

#include <windows.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <vector>

#include "support/platform/file_identity.h"
#include "support/platform/native.h"
#include "support/platform/random.h"
#include "support/platform/security_descriptor.h"
#include "support/platform/tree_removal.h"

namespace trevan {
namespace {

// How many unpredictable names a run tries after the first before it gives
// up on making a fresh work folder. Each is one of 2^32: to take them all
// in advance, a user would have to make billions of folders.
constexpr int max_random_names = 100;

// An unpredictable number from the system's random source; nothing when the
// source fails.
std::optional<std::uint32_t> random_number() {
    const vennic::error_or<std::uint32_t> number = vennic::system_random_number();
    if (!number) return std::nullopt;
    return *number;
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

work_folder::work_folder(std::string path, std::wstring wide_path, vennic::unique_handle handle,
                         vennic::unique_handle parent)
    : path_(std::move(path)),
      wide_path_(std::move(wide_path)),
      handle_(std::move(handle)),
      parent_(std::move(parent)) {}

work_folder::~work_folder() { remove(); }

work_folder::work_folder(work_folder&& other) noexcept
    : path_(std::move(other.path_)),
      wide_path_(std::move(other.wide_path_)),
      handle_(std::move(other.handle_)),
      parent_(std::move(other.parent_)) {
    other.path_.clear();
    other.wide_path_.clear();
}

work_folder& work_folder::operator=(work_folder&& other) noexcept {
    if (this != &other) {
        remove();
        path_ = std::move(other.path_);
        wide_path_ = std::move(other.wide_path_);
        handle_ = std::move(other.handle_);
        parent_ = std::move(other.parent_);
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
    // The folder's own name, between the parent's path and the trailing
    // backslash.
    const std::wstring::size_type slash = path.rfind(L'\\', path.size() - 2);
    const std::wstring parent_path = path.substr(0, slash + 1);
    const std::wstring name = path.substr(slash + 1, path.size() - slash - 2);
    // The current directory's own handle would keep the folder: the parent
    // becomes it, or else a folder whose path always fits.
    if (!SetCurrentDirectoryW(parent_path.c_str())) {
        std::vector<wchar_t> system(MAX_PATH);
        const UINT n = GetSystemDirectoryW(system.data(), static_cast<UINT>(system.size()));
        if (n > 0 && n < system.size()) SetCurrentDirectoryW(system.data());
    }
    vennic::remove_contents(handle_.get());
    // The held handle does not share deleting: it goes first, and the folder
    // is then opened again by its name in the held parent, deleted only
    // while it is still the folder just emptied.
    const vennic::file_identity identity = vennic::identity_of(handle_.get());
    handle_.reset();
    if (before_deletion) before_deletion(path);
    const bool gone = identity.known && vennic::remove_empty_folder(parent_.get(), name, identity);
    parent_.reset();
    return gone;
}

// Makes work folders; the one place that hands a new folder to its owner.
struct work_folder_maker {
    static work_folder make(std::string path, std::wstring wide_path, vennic::unique_handle handle,
                            vennic::unique_handle parent) {
        return work_folder(std::move(path), std::move(wide_path), std::move(handle), std::move(parent));
    }
};

bool keeps_access_lists(HANDLE folder) {
    DWORD flags = 0;
    return GetVolumeInformationByHandleW(folder, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0) &&
           (flags & FILE_PERSISTENT_ACLS);
}

work_folder_result make_work_folder(const temp_folder& temp, const work_folder_seams& seams) {
    const access_list_check keeps_lists = seams.keeps_lists;
    const random_source next_random = seams.random ? seams.random : random_number;
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
    const vennic::error_or<vennic::security_descriptor> security = vennic::protected_folder_security();
    unsigned long error = !parent ? system_temp.error()
                          : parent->text.empty() ? ERROR_NO_UNICODE_TRANSLATION
                                                 : security.error();
    // The folder's own hold on its parent, for its removal.
    vennic::unique_handle parent_hold;
    if (error == 0) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(GetCurrentProcess(), parent->handle.get(), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS))
            parent_hold.reset(copy);
        else
            error = GetLastError();
    }
    work_folder_result result;
    long long number = static_cast<long long>(std::time(nullptr));
    for (int attempt = 0; error == 0 && attempt <= max_random_names; ++attempt) {
        if (attempt > 0) {
            const std::optional<std::uint32_t> random = next_random();
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
        result.folder =
            work_folder_maker::make(parent->text + name, wide_path, std::move(*handle), std::move(parent_hold));
        if (SetCurrentDirectoryW(wide_path.c_str())) return result;
        error = GetLastError();
        // The loop ends here: the parent's hold went with the folder.
        result.folder.remove();
    }
    if (error == 0) error = ERROR_ALREADY_EXISTS;
    result.failure = work_folder_failure(error);
    return result;
}

vennic::failure work_folder_failure(unsigned long error) {
    return {"SetCurrentDirectory failed", "Unable to set Working Directory", error, {},
            vennic::ui_text::work_folder_text, {}};
}

}  // namespace trevan
