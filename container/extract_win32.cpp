#include "container/extract_win32.h"

#include <windows.h>

#include "container/file_name.h"
#include "container/file_reader.h"
#include "support/platform/native.h"
#include "support/platform/paths.h"
#include "support/platform/system_error_text.h"
#include "support/platform/unicode.h"

namespace trevan {
namespace {

// Whole-file byte-range lock: beyond any size the file could grow to.
constexpr DWORD whole_file = 0xFFFFFFFF;

class extracted_file : public output_file {
public:
    extracted_file(vennic::unique_handle file, std::wstring name, extracted_files& files)
        : file_(std::move(file)), name_(std::move(name)), files_(files) {}

    bool write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD written = 0;
            if (!WriteFile(file_.get(), p, static_cast<DWORD>(size), &written, nullptr)) {
                error_ = GetLastError();
                return false;
            }
            if (written == 0) {
                error_ = ERROR_WRITE_FAULT;
                return false;
            }
            p += written;
            size -= written;
            size_ += written;
        }
        return true;
    }

    // A handle with write access would keep the file from being started, so
    // the writing handle is given up for one that only reads and shares only
    // reading. No call turns the one into the other, and the second cannot
    // be opened while the first is open; so a bridge handle, which shares
    // writing, holds the file meanwhile and locks every byte of it against
    // writes from any handle. Whoever opens the file for writing in between
    // can change nothing, and if they keep it open, the last open fails.
    // Both are opened from the handle before them (ReOpenFile), never by the
    // file's name: they are of the file written, whatever its name leads to
    // by then.
    bool finish() override {
        vennic::unique_handle bridge(
            ReOpenFile(file_.get(), GENERIC_READ | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, 0));
        if (!bridge) {
            error_ = GetLastError();
            return false;
        }
        OVERLAPPED from_start = {};
        if (!LockFileEx(bridge.get(), LOCKFILE_FAIL_IMMEDIATELY, 0, whole_file, whole_file, &from_start)) {
            error_ = GetLastError();
            return false;
        }
        // Closing writes what the system still holds back: its failure is a
        // failed write too.
        if (!CloseHandle(file_.release())) {
            error_ = GetLastError();
            return false;
        }
        vennic::unique_handle held(ReOpenFile(bridge.get(), GENERIC_READ | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, 0));
        if (!held) {
            error_ = GetLastError();
            return false;
        }
        // Closing the bridge ends its lock; the held handle keeps others out.
        bridge.reset();
        // Not every file system refuses cutting bytes off a locked file
        // (zeros added after that start no program).
        LARGE_INTEGER size = {};
        if (!GetFileSizeEx(held.get(), &size) || static_cast<unsigned long long>(size.QuadPart) != size_) {
            error_ = ERROR_FILE_INVALID;
            return false;
        }
        files_.keep(name_, std::move(held));
        return true;
    }

    unsigned long error() const override { return error_; }

private:
    vennic::unique_handle file_;
    std::wstring name_;
    extracted_files& files_;
    unsigned long long size_ = 0;
    unsigned long error_ = 0;
};

class windows_io : public extraction_io {
public:
    windows_io(const vennic::error_or<HANDLE>& archive, HANDLE work_folder, extracted_files& files,
               archive_wrapper wrap)
        : archive_(archive), work_folder_(work_folder), files_(files), wrap_(wrap) {}

    vennic::error_or<std::unique_ptr<archive_reader>> open_archive(const std::string&) override {
        if (!archive_) return vennic::system_error{archive_.error()};
        // The search reports what its own calls leave behind, from a clean
        // start, as when the file was opened right here.
        SetLastError(NO_ERROR);
        std::unique_ptr<archive_reader> reader = std::make_unique<file_reader>(file_reader::borrowed{*archive_});
        if (wrap_) return wrap_(std::move(reader));
        return reader;
    }

    vennic::error_or<std::unique_ptr<output_file>> create_output(const std::string& file_name) override {
        const std::optional<std::wstring> name = output_name(file_name);
        if (!name) return vennic::system_error{ERROR_INVALID_NAME};
        // A file written before under the same name is replaced, as always.
        files_.release(*name);
        vennic::error_or<vennic::unique_handle> file = vennic::open_at(
            work_folder_, *name,
            {GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, FILE_OVERWRITE_IF,
             FILE_NON_DIRECTORY_FILE | FILE_SEQUENTIAL_ONLY | FILE_OPEN_REPARSE_POINT, nullptr});
        if (!file) return vennic::system_error{file.error()};
        return std::unique_ptr<output_file>(std::make_unique<extracted_file>(std::move(*file), *name, files_));
    }

    unsigned long last_error() override { return GetLastError(); }

    std::string error_text(unsigned long code) override { return vennic::system_error_text(code); }

private:
    const vennic::error_or<HANDLE>& archive_;
    HANDLE work_folder_;
    extracted_files& files_;
    archive_wrapper wrap_;
};

}  // namespace

std::optional<std::wstring> output_name(const std::string& file_name) {
    std::wstring name;
    try {
        name = vennic::unicode::to_wide(file_name, CP_ACP);
    } catch (const vennic::unicode::generic&) {
        return std::nullopt;
    }
    if (!is_bare_file_name(name)) return std::nullopt;
    return name;
}

HANDLE extracted_files::find(const std::wstring& name) const {
    for (const held& file : files_)
        if (vennic::same_path(file.name, name)) return file.handle.get();
    return nullptr;
}

void extracted_files::release() { files_.clear(); }

void extracted_files::keep(const std::wstring& name, vennic::unique_handle file) {
    files_.push_back({name, std::move(file)});
}

void extracted_files::release(const std::wstring& name) {
    for (auto it = files_.begin(); it != files_.end(); ++it) {
        if (vennic::same_path(it->name, name)) {
            files_.erase(it);
            return;
        }
    }
}

extraction_result extract_payload(const std::string& own_path, const vennic::error_or<HANDLE>& archive,
                                  const std::string& work_folder, HANDLE work_folder_handle,
                                  SettingsMap& settings, extracted_files& files,
                                  extraction_progress* progress, archive_wrapper wrap) {
    windows_io io(archive, work_folder_handle, files, wrap);
    return extract_payload(own_path, work_folder, settings, io, progress);
}

}  // namespace trevan
