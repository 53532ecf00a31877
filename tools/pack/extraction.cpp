#include "tools/pack/extraction.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>

#include "container/printable.h"
#include "tools/pack/host.h"
#include "tools/pack/stdio_file.h"
#include "tools/pack/temp_file.h"
#include "tools/pack/tool_error.h"

namespace trevan::pack {
namespace fs = std::filesystem;

namespace {

// A failed write ends the walk with the tool's error, which names the file;
// the extraction's destruction then removes what was written.
class plain_output : public output_file {
public:
    plain_output(stdio_file file, std::string path) : file_(std::move(file)), path_(std::move(path)) {}
    bool write(const void* data, std::size_t size) override {
        if (std::fwrite(data, 1, size, file_.get()) != size) throw cannot_write();
        return true;
    }
    bool finish() override {
        if (std::fclose(file_.release()) != 0) throw cannot_write();
        return true;
    }

private:
    tool_error cannot_write() const { return tool_error("cannot write " + path_ + ": " + std::strerror(errno)); }

    stdio_file file_;
    std::string path_;
};

std::string temp_prefix(const fs::path& folder) { return (folder / ".trevan-pack-").string(); }

}  // namespace

void planning_observer::record_read(const record_info& info) {
    progress_observer::record_read(info);
    if (info.kind == record_kind::file) file_names.push_back(info.text);
}

std::vector<std::string> output_names(const std::vector<std::string>& stored_names, const text_reading& reading) {
    std::vector<std::string> names;
    for (const std::string& name : stored_names) names.push_back(reading.code_page ? reading.utf8(name) : name);
    return names;
}

void check_targets(const fs::path& folder, const std::vector<std::string>& file_names) {
    for (const std::string& name : file_names) {
        const fs::path target = folder / native_path(name);
        std::error_code ec;
        // The entry itself: a link is replaced by the file, never followed.
        const fs::file_status st = fs::symlink_status(target, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            throw tool_error("cannot write " + target.string() + ": " + ec.message());
        switch (st.type()) {
        case fs::file_type::not_found:
        case fs::file_type::regular:
        case fs::file_type::symlink: break;
        case fs::file_type::directory: throw tool_error("cannot write " + target.string() + ": it is a folder");
        default: throw tool_error("cannot write " + target.string() + ": it is not a regular file");
        }
    }
}

folder_extraction::folder_extraction(fs::path folder, text_reading reading, progress_fn progress)
    : progress_observer(std::move(progress)), folder_(std::move(folder)), reading_(reading) {}

folder_extraction::~folder_extraction() {
    std::error_code ec;
    for (const pending_file& p : pending_) fs::remove(p.temp, ec);
}

std::unique_ptr<output_file> folder_extraction::create_output(const std::string& file_name, std::uint32_t) {
    fs::path final_path = folder_ / native_path(output_names({file_name}, reading_).front());
    temp_file temp = create_temp_file(temp_prefix(folder_));
    if (!temp.file) throw tool_error("cannot write " + final_path.string() + ": " + std::strerror(errno));
    pending_.push_back({native_path(temp.path), final_path});
    return std::make_unique<plain_output>(std::move(temp.file), final_path.string());
}

void folder_extraction::commit() {
    // Of several files of one name only the last one walked would stay.
    std::vector<pending_file> moves;
    std::set<fs::path> named;
    for (auto it = pending_.rbegin(); it != pending_.rend(); ++it)
        if (named.insert(it->final_path).second) moves.insert(moves.begin(), *it);

    struct done_move {
        fs::path final_path;
        fs::path backup;  // what stood there before; empty when nothing did
        bool placed = false;
    };
    std::vector<done_move> done;
    auto undo = [&] {
        std::error_code ignored;
        for (auto it = done.rbegin(); it != done.rend(); ++it) {
            if (it->placed) fs::remove(it->final_path, ignored);
            if (!it->backup.empty()) fs::rename(it->backup, it->final_path, ignored);
        }
    };
    try {
        for (const pending_file& move : moves) {
            done.push_back({move.final_path, {}, false});
            std::error_code ec;
            if (fs::symlink_status(move.final_path, ec).type() != fs::file_type::not_found) {
                // A fresh name of our own for what stood there, so that it can
                // be put back.
                temp_file backup = create_temp_file(temp_prefix(folder_));
                if (!backup.file)
                    throw tool_error("cannot write " + move.final_path.string() + ": " + std::strerror(errno));
                backup.file.reset();
                fs::rename(move.final_path, native_path(backup.path), ec);
                if (ec) {
                    const std::string why = ec.message();
                    fs::remove(native_path(backup.path), ec);
                    throw tool_error("cannot write " + move.final_path.string() + ": " + why);
                }
                done.back().backup = native_path(backup.path);
            }
            fs::rename(move.temp, move.final_path, ec);
            if (ec) throw tool_error("cannot write " + move.final_path.string() + ": " + ec.message());
            done.back().placed = true;
        }
    } catch (...) {
        undo();
        throw;
    }
    std::error_code ignored;
    for (const done_move& d : done)
        if (!d.backup.empty()) fs::remove(d.backup, ignored);
    // The temporaries of the duplicates left out go with the destructor.
    std::vector<pending_file> left;
    for (const pending_file& p : pending_)
        if (std::none_of(moves.begin(), moves.end(), [&](const pending_file& m) {
                return m.temp == p.temp;
            }))
            left.push_back(p);
    pending_ = std::move(left);
}

}  // namespace trevan::pack
