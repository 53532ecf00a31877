#include "container/extract.h"

#include "container/format.h"

namespace trevan {
namespace {

// ERROR_INVALID_NAME: what Windows answers for a name that is no file name.
constexpr unsigned long invalid_name_error = 123;

vennic::failure file_failure(const char* caption, vennic::ui_text caption_text, const std::string& path,
                             unsigned long error, extraction_io& io) {
    std::string error_text = io.error_text(error);
    std::string text = "File: " + path + "\rError: " + error_text;
    return {caption, std::move(text), error, caption_text, vennic::ui_text::file_error_text,
            {path, std::move(error_text)}};
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
        if (!done)
            failure_ = file_failure("Failed to extract file!", vennic::ui_text::extract_file_caption, path_,
                                    inner_->error(), io_);
        return done;
    }

    std::unique_ptr<output_file> inner_;
    std::string path_;
    extraction_io& io_;
    std::optional<vennic::failure>& failure_;
};

class extraction : public walk_observer {
public:
    extraction(const std::string& own_path, const std::string& work_folder, extraction_io& io,
               extraction_progress* progress)
        : own_path_(own_path), work_folder_(work_folder), io_(io), progress_(progress) {}

    // The first chunk read is the tail chunk, which ends where the container
    // ends.
    void chunk_read(const chunk_info& info) override {
        if (!progress_) return;
        if (info.index == 1) progress_->set_total(info.offset + info.length + format::trailer_size);
        checked_ += info.length;
        progress_->set_checked(checked_);
    }

    void data_progress(bool, std::uint32_t done, std::uint32_t) override {
        if (progress_) progress_->set_checked(checked_ + done);
    }

    bool stop_requested() override { return progress_ && progress_->cancel_requested(); }

    void search_failed() override {
        // The error is whatever the search left behind: take it first.
        const unsigned long error = io_.last_error();
        failure = file_failure("Failed to initialize archive!", vennic::ui_text::initialize_archive_caption,
                               own_path_, error, io_);
    }

    bool writes_files() const override { return true; }

    // Nothing is created under a name that could leave the work folder or
    // open a device.
    void file_name_refused(const std::string& file_name) override {
        failure = file_failure("Failed to extract file!", vennic::ui_text::extract_file_caption,
                               work_folder_ + file_name, invalid_name_error, io_);
    }

    std::unique_ptr<output_file> create_output(const std::string& file_name, std::uint32_t) override {
        std::string path = work_folder_ + file_name;
        vennic::error_or<std::unique_ptr<output_file>> out = io_.create_output(file_name);
        if (!out) {
            failure = file_failure("Failed to extract file!", vennic::ui_text::extract_file_caption, path,
                                   out.error(), io_);
            return nullptr;
        }
        return std::make_unique<checked_output>(std::move(*out), std::move(path), io_, failure);
    }

    std::optional<vennic::failure> failure;

private:
    const std::string& own_path_;
    const std::string& work_folder_;
    extraction_io& io_;
    extraction_progress* progress_;
    std::uint32_t checked_ = 0;  // data of the chunks read whole
};

}  // namespace

extraction_result extract_payload(const std::string& own_path, const std::string& work_folder,
                                  SettingsMap& settings, extraction_io& io,
                                  extraction_progress* progress) {
    extraction_result result;
    vennic::error_or<std::unique_ptr<archive_reader>> archive = io.open_archive(own_path);
    if (!archive) {
        result.failure = file_failure("Failed to open archive!", vennic::ui_text::open_archive_caption, own_path,
                                      archive.error(), io);
        return result;
    }
    extraction observer(own_path, work_folder, io, progress);
    const walk_result walked = walk_container(**archive, settings, observer);
    if (walked.ok)
        result.end = extraction_end::complete;
    else if (walked.end == walk_end::cancelled)
        result.end = extraction_end::cancelled;
    else
        result.failure = std::move(observer.failure);
    return result;
}

}  // namespace trevan
