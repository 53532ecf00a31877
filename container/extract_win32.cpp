#include "container/extract.h"

#include <windows.h>

#include "container/file_reader.h"
#include "support/platform/system_error_text.h"

namespace trevan {
namespace {

// Opens whatever is at path just to learn which file it is.
vennic::file_identity identity_at(const std::string& path) {
    vennic::unique_handle probe(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                            nullptr));
    return probe ? vennic::identity_of(probe.get()) : vennic::file_identity();
}

// Whole-file byte-range lock: beyond any size the file could grow to.
constexpr DWORD whole_file = 0xFFFFFFFF;

class extracted_file : public output_file {
public:
    extracted_file(vennic::unique_handle file, std::string path, extracted_files& files)
        : file_(std::move(file)), path_(std::move(path)), files_(files) {}

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
    bool finish() override {
        const vennic::file_identity identity = vennic::identity_of(file_.get());
        vennic::unique_handle bridge(CreateFileA(path_.c_str(), GENERIC_READ | FILE_READ_ATTRIBUTES,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!bridge) {
            error_ = GetLastError();
            return false;
        }
        if (!identity.known || vennic::identity_of(bridge.get()) != identity) {
            error_ = ERROR_FILE_INVALID;
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
        vennic::unique_handle held(CreateFileA(path_.c_str(), GENERIC_READ | FILE_READ_ATTRIBUTES, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        if (!held) {
            error_ = GetLastError();
            return false;
        }
        // Closing the bridge ends its lock; the held handle keeps others out.
        bridge.reset();
        // The size too: not every file system refuses cutting bytes off a
        // locked file (zeros added after that start no program).
        LARGE_INTEGER size = {};
        if (vennic::identity_of(held.get()) != identity || !GetFileSizeEx(held.get(), &size) ||
            static_cast<unsigned long long>(size.QuadPart) != size_) {
            error_ = ERROR_FILE_INVALID;
            return false;
        }
        files_.keep(std::move(held), identity);
        return true;
    }

    unsigned long error() const override { return error_; }

private:
    vennic::unique_handle file_;
    std::string path_;
    extracted_files& files_;
    unsigned long long size_ = 0;
    unsigned long error_ = 0;
};

class windows_io : public extraction_io {
public:
    windows_io(extracted_files& files, archive_wrapper wrap) : files_(files), wrap_(wrap) {}

    vennic::error_or<std::unique_ptr<archive_reader>> open_archive(const std::string& path) override {
        auto archive = std::make_unique<file_reader>(path);
        if (!archive->is_open()) return vennic::system_error{archive->open_error()};
        if (wrap_) return wrap_(std::move(archive));
        return std::unique_ptr<archive_reader>(std::move(archive));
    }

    vennic::error_or<std::unique_ptr<output_file>> create_output(const std::string& path) override {
        // A file written before under the same name is replaced, as always.
        files_.release(path);
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return vennic::system_error{GetLastError()};
        return std::unique_ptr<output_file>(
            std::make_unique<extracted_file>(vennic::unique_handle(file), path, files_));
    }

    unsigned long last_error() override { return GetLastError(); }

    std::string error_text(unsigned long code) override { return vennic::system_error_text(code); }

private:
    extracted_files& files_;
    archive_wrapper wrap_;
};

}  // namespace

HANDLE extracted_files::find(const std::string& path) const {
    const vennic::file_identity identity = identity_at(path);
    for (const held& file : files_)
        if (file.identity == identity) return file.handle.get();
    return nullptr;
}

void extracted_files::release() { files_.clear(); }

void extracted_files::keep(vennic::unique_handle file, const vennic::file_identity& identity) {
    files_.push_back({std::move(file), identity});
}

void extracted_files::release(const std::string& path) {
    const vennic::file_identity identity = identity_at(path);
    for (auto it = files_.begin(); it != files_.end(); ++it) {
        if (it->identity == identity) {
            files_.erase(it);
            return;
        }
    }
}

extraction_result extract_payload(const std::string& own_path, const std::string& work_folder,
                                  SettingsMap& settings, extracted_files& files,
                                  extraction_progress* progress, archive_wrapper wrap) {
    windows_io io(files, wrap);
    return extract_payload(own_path, work_folder, settings, io, progress);
}

extraction_result extract_payload(const std::string& own_path, const std::string& work_folder,
                                  SettingsMap& settings) {
    extracted_files files;
    return extract_payload(own_path, work_folder, settings, files);
}

}  // namespace trevan
