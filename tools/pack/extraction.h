#pragma once

// `trevan-pack extract`: the container's files written into a folder, all or
// nothing. A first walk checks the container's records and learns every
// file's name (planning_observer; it skips the file data, which the second
// walk checks as it writes); check_targets then checks every place before
// anything is written. The second walk writes each file to a temporary in
// the folder (created exclusively under an unpredictable name), each piece
// checked as it goes and the file finished only when its digest matched,
// so that every byte is read once; commit gives
// every file its name, in walk order, so that of several files of one name
// the last one walked stays, as in the program. When any step fails, the
// folder is left as it was: temporaries are removed on destruction, and a
// commit that fails halfway puts back what it replaced.

#include <filesystem>
#include <string>
#include <vector>

#include "tools/pack/report.h"

namespace trevan::pack {

// Collects the stored names of the file records, in walk order. File data
// is skipped unread.
class planning_observer : public progress_observer {
public:
    using progress_observer::progress_observer;
    void record_read(const record_info& info) override;
    bool checks_file_data() const override { return false; }
    std::vector<std::string> file_names;
};

// The names the files get in the folder: the stored names as the program
// reads them in the container's code page (shown_text.h; without one, the
// bytes as they are).
std::vector<std::string> output_names(const std::vector<std::string>& stored_names, const text_reading& reading);

// Checks that each stored name can take its place in folder: nothing there
// yet, a file or a link (replaced, not followed), never a folder or
// another kind of file. Throws tool_error (one line) naming the first place
// that cannot be written.
void check_targets(const std::filesystem::path& folder, const std::vector<std::string>& file_names);

class folder_extraction : public progress_observer {
public:
    folder_extraction(std::filesystem::path folder, text_reading reading, progress_fn progress);
    ~folder_extraction() override;
    folder_extraction(const folder_extraction&) = delete;
    folder_extraction& operator=(const folder_extraction&) = delete;

    bool writes_files() const override { return true; }
    // An output of file_name's data in a temporary. Throws tool_error (one
    // line naming the file) when it cannot be created, and its output
    // throws the same when a write fails; the walk then ends with it.
    std::unique_ptr<output_file> create_output(const std::string& file_name, std::uint32_t size) override;

    // Gives every file its name. Throws tool_error (one line) when a file
    // cannot be moved into place, after putting back what was replaced.
    void commit();

private:
    struct pending_file {
        std::filesystem::path temp;
        std::filesystem::path final_path;
    };
    std::filesystem::path folder_;
    text_reading reading_;
    std::vector<pending_file> pending_;
};

}  // namespace trevan::pack
