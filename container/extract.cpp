#include "container/extract.h"

namespace trevan {
namespace {

// ERROR_INVALID_NAME: what Windows answers for a name that is no file name.
constexpr unsigned long invalid_name_error = 123;

vennic::failure file_failure(const char* caption, const std::string& path, unsigned long error,
                             extraction_io& io) {
    return {caption, "File: " + path + "\rError: " + io.error_text(error), error};
}

// Checks each output's writes, so that a damaged setup program is never left
// behind for the run to start.
class checked_output : public output_file {
public:
    checked_output(std::unique_ptr<output_file> inner, std::string path, extraction_io& io,
                   std::optional<vennic::failure>& failure)
        : inner_(std::move(inner)), path_(std::move(path)), io_(io), failure_(failure) {}

    bool write(const void* data, std::size_t size) override { return check(inner_->write(data, size)); }
    bool finish() override { return check(inner_->finish()); }

private:
    bool check(bool done) {
        if (!done) failure_ = file_failure("Failed to extract file!", path_, inner_->error(), io_);
        return done;
    }

    std::unique_ptr<output_file> inner_;
    std::string path_;
    extraction_io& io_;
    std::optional<vennic::failure>& failure_;
};

class extraction : public walk_observer {
public:
    extraction(const std::string& own_path, const std::string& work_folder, extraction_io& io)
        : own_path_(own_path), work_folder_(work_folder), io_(io) {}

    void search_failed() override {
        // The error is whatever the search left behind: take it first.
        const unsigned long error = io_.last_error();
        failure = file_failure("Failed to initialize archive!", own_path_, error, io_);
    }

    bool writes_files() const override { return true; }

    // Nothing is created under a name that could leave the work folder or
    // open a device.
    void file_name_refused(const std::string& file_name) override {
        failure = file_failure("Failed to extract file!", work_folder_ + file_name, invalid_name_error, io_);
    }

    std::unique_ptr<output_file> create_output(const std::string& file_name, std::uint32_t) override {
        std::string path = work_folder_ + file_name;
        vennic::error_or<std::unique_ptr<output_file>> out = io_.create_output(file_name);
        if (!out) {
            failure = file_failure("Failed to extract file!", path, out.error(), io_);
            return nullptr;
        }
        return std::make_unique<checked_output>(std::move(*out), std::move(path), io_, failure);
    }

    std::optional<vennic::failure> failure;

private:
    const std::string& own_path_;
    const std::string& work_folder_;
    extraction_io& io_;
};

}  // namespace

extraction_result extract_payload(const std::string& own_path, const std::string& work_folder,
                                  SettingsMap& settings, extraction_io& io) {
    extraction_result result;
    vennic::error_or<std::unique_ptr<archive_reader>> archive = io.open_archive(own_path);
    if (!archive) {
        result.failure = file_failure("Failed to open archive!", own_path, archive.error(), io);
        return result;
    }
    extraction observer(own_path, work_folder, io);
    result.ok = walk_container(**archive, settings, observer).ok;
    result.failure = std::move(observer.failure);
    return result;
}

}  // namespace trevan
