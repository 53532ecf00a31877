#include "container/extract.h"

#include <windows.h>

#include <memory>

#include "container/file_reader.h"
#include "container/walk.h"
#include "support/core/system_error_text.h"
#include "support/platform/handle.h"

namespace trevan {
namespace {

// error must be GetLastError() of the failing call: anything in between,
// formatting included, may change the thread's last error.
void show_failure(const char* caption, const std::string& path, DWORD error) {
    std::string text = "File: " + path + "\rError: " + vennic::system_error_text(error);
    MessageBoxA(nullptr, text.c_str(), caption, MB_OK);
}

class extracted_file : public output_file {
public:
    extracted_file(vennic::unique_handle file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}

    // A failed write would leave a damaged setup program behind that the run
    // would then start: it is reported like a file that cannot be created.
    bool write(const void* data, std::size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size > 0) {
            DWORD written = 0;
            if (!WriteFile(file_.get(), p, static_cast<DWORD>(size), &written, nullptr)) {
                DWORD error = GetLastError();
                show_failure("Failed to extract file!", path_, error);
                return false;
            }
            if (written == 0) {
                show_failure("Failed to extract file!", path_, ERROR_WRITE_FAULT);
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
        DWORD error = GetLastError();
        show_failure("Failed to extract file!", path_, error);
        return false;
    }

private:
    vennic::unique_handle file_;
    std::string path_;
};

class extraction : public walk_observer {
public:
    extraction(const std::string& own_path, const std::string& work_folder)
        : own_path_(own_path), work_folder_(work_folder) {}

    void search_failed() override {
        DWORD error = GetLastError();
        show_failure("Failed to initialize archive!", own_path_, error);
    }

    bool writes_files() const override { return true; }

    std::unique_ptr<output_file> create_output(const std::string& file_name, std::uint32_t) override {
        std::string path = work_folder_ + file_name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                  FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            DWORD error = GetLastError();
            show_failure("Failed to extract file!", path, error);
            return nullptr;
        }
        return std::make_unique<extracted_file>(vennic::unique_handle(file), std::move(path));
    }

private:
    const std::string& own_path_;
    const std::string& work_folder_;
};

}  // namespace

bool extract_payload(const std::string& own_path, const std::string& work_folder, SettingsMap& settings) {
    file_reader archive(own_path);
    if (!archive.is_open()) {
        show_failure("Failed to open archive!", own_path, archive.open_error());
        return false;
    }
    extraction observer(own_path, work_folder);
    return walk_container(archive, settings, observer).ok;
}

}  // namespace trevan
