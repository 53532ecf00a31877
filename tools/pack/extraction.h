#pragma once

// `trevan-pack extract`: the container's files written into a folder. Each
// file goes to a temporary name in the folder first and gets its own name
// only when the whole walk has succeeded (commit), in walk order, so a later
// record replaces an earlier file of the same name as in the program. What
// was not moved into place is removed on destruction.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "tools/pack/report.h"

namespace trevan::pack {

class folder_extraction : public recording_observer {
public:
    folder_extraction(std::filesystem::path folder, progress_fn progress);
    ~folder_extraction() override;

    bool writes_files() const override { return true; }
    std::unique_ptr<output_file> create_output(const std::string& file_name, std::uint32_t size) override;

    // Gives every file its name. Throws std::runtime_error (one line) when a
    // file cannot be moved into place.
    void commit();

    // Why the last output could not be created or written; one line.
    std::string error;

private:
    std::filesystem::path folder_;
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> pending_;  // temporary, final
};

}  // namespace trevan::pack
