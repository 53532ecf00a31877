#include "tools/pack/extraction.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "container/file_name.h"
#include "tools/pack/stdio_file.h"

namespace trevan::pack {
namespace fs = std::filesystem;

namespace {

int process_id() {
#ifdef _WIN32
    return _getpid();
#else
    return static_cast<int>(getpid());
#endif
}

class plain_output : public output_file {
public:
    plain_output(std::FILE* file, std::string path, std::string& error)
        : file_(file), path_(std::move(path)), error_(error) {}
    bool write(const void* data, std::size_t size) override {
        if (std::fwrite(data, 1, size, file_.get()) == size) return true;
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }
    bool finish() override {
        if (std::fclose(file_.release()) == 0) return true;
        error_ = "cannot write " + path_ + ": " + std::strerror(errno);
        return false;
    }

private:
    stdio_file file_;
    std::string path_;
    std::string& error_;
};

}  // namespace

folder_extraction::folder_extraction(fs::path folder, progress_fn progress)
    : recording_observer(std::move(progress)), folder_(std::move(folder)) {}

folder_extraction::~folder_extraction() {
    std::error_code ec;
    for (const auto& [temp, final_path] : pending_) fs::remove(temp, ec);
}

std::unique_ptr<output_file> folder_extraction::create_output(const std::string& file_name, std::uint32_t) {
    if (!is_bare_file_name(file_name)) {
        error = "cannot extract \"" + file_name + "\": the stored file name is not a bare file name";
        return nullptr;
    }
    fs::path final_path = folder_ / file_name;
    fs::path temp = folder_ / (".trevan-pack-" + std::to_string(process_id()) + "-" +
                               std::to_string(pending_.size()) + ".tmp");
    std::FILE* f = std::fopen(temp.string().c_str(), "wb");
    if (!f) {
        error = "cannot write " + final_path.string() + ": " + std::strerror(errno);
        return nullptr;
    }
    pending_.emplace_back(temp, final_path);
    return std::make_unique<plain_output>(f, final_path.string(), error);
}

void folder_extraction::commit() {
    for (auto& [temp, final_path] : pending_) {
        std::error_code ec;
        fs::rename(temp, final_path, ec);
        if (ec) throw std::runtime_error("cannot write " + final_path.string() + ": " + ec.message());
    }
    pending_.clear();
}

}  // namespace trevan::pack
