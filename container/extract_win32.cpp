#include "container/extract.h"

#include <windows.h>

#include "container/file_reader.h"
#include "support/core/system_error_text.h"
#include "support/platform/handle.h"

namespace trevan {
namespace {

class extracted_file : public output_file {
public:
    explicit extracted_file(vennic::unique_handle file) : file_(std::move(file)) {}

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
        }
        return true;
    }

    bool finish() override {
        // Closing writes what the system still holds back: its failure is a
        // failed write too.
        if (CloseHandle(file_.release())) return true;
        error_ = GetLastError();
        return false;
    }

    unsigned long error() const override { return error_; }

private:
    vennic::unique_handle file_;
    unsigned long error_ = 0;
};

class windows_io : public extraction_io {
public:
    std::unique_ptr<archive_reader> open_archive(const std::string& path, unsigned long& error) override {
        auto archive = std::make_unique<file_reader>(path);
        if (archive->is_open()) return archive;
        error = archive->open_error();
        return nullptr;
    }

    std::unique_ptr<output_file> create_output(const std::string& path, unsigned long& error) override {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            return nullptr;
        }
        return std::make_unique<extracted_file>(vennic::unique_handle(file));
    }

    unsigned long last_error() override { return GetLastError(); }

    std::string error_text(unsigned long code) override { return vennic::system_error_text(code); }
};

}  // namespace

extraction_result extract_payload(const std::string& own_path, const std::string& work_folder,
                                  SettingsMap& settings) {
    windows_io io;
    return extract_payload(own_path, work_folder, settings, io);
}

}  // namespace trevan
