#pragma once

// Extraction of the payload container into the run's work folder: the walk
// of the program's own file with the files written out. Failures come back
// as values for the caller to show; nothing here talks to the user.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "container/reader.h"
#include "container/settings.h"
#include "container/walk.h"
#include "support/core/error_or.h"
#include "support/core/failure.h"

namespace trevan {

// The system the extraction works on: the program's file system on Windows,
// a fake in tests. Error codes are the system's, taken at the failing call.
class extraction_io {
public:
    virtual ~extraction_io() = default;
    // The archive for reading; path names it in messages.
    virtual vennic::error_or<std::unique_ptr<archive_reader>> open_archive(const std::string& path) = 0;
    // Creates (or replaces) the output file of the stored name file_name in
    // the work folder. A write that fails keeps its code in the output's
    // error(). A name the system would not take as a bare file name fails
    // with ERROR_INVALID_NAME.
    virtual vennic::error_or<std::unique_ptr<output_file>> create_output(const std::string& file_name) = 0;
    // The thread's last error code now.
    virtual unsigned long last_error() = 0;
    // The system's text for an error code, without its line end.
    virtual std::string error_text(unsigned long code) = 0;
};

// What an extraction running on one thread shares with one watching it from
// another: bytes of chunk data checked so far, of how many, and a request
// to stop. Lock-free; the extraction stores once per chunk or piece (at most
// piece_size bytes), so watching costs it nothing per byte.
class extraction_progress {
public:
    virtual ~extraction_progress() = default;

    // Bytes checked; they count toward total() but may stop short of it,
    // which also holds the stub's image and the chunks' trailers.
    std::uint32_t checked() const { return checked_.load(std::memory_order_relaxed); }
    // Bytes up to where the container ends; 0 until its tail chunk is read.
    std::uint32_t total() const { return total_.load(std::memory_order_relaxed); }
    // Asks the extraction to stop before its next read of chunk data; it then
    // ends with cancelled set. Too late once the walk has ended.
    void cancel() { cancel_.store(true, std::memory_order_relaxed); }
    bool cancel_requested() const { return cancel_.load(std::memory_order_relaxed); }

    // The extraction's side.
    void set_checked(std::uint32_t bytes) {
        checked_.store(bytes, std::memory_order_relaxed);
        reported();
    }
    void set_total(std::uint32_t bytes) { total_.store(bytes, std::memory_order_relaxed); }

protected:
    // Called on the extraction's thread after each chunk or piece: where a
    // watcher can act without a thread of its own until it needs one.
    virtual void reported() {}

private:
    std::atomic<std::uint32_t> checked_{0};
    std::atomic<std::uint32_t> total_{0};
    std::atomic<bool> cancel_{false};
};

// How an extraction ended.
enum class extraction_end {
    // The walk reached the stub record with a tail chunk read and every
    // chunk matching its digest.
    complete,
    // The walk stopped because progress asked it to; the outputs written so
    // far are incomplete.
    cancelled,
    // The container is invalid: damaged, cut short or incomplete, or a file
    // could not be opened or written (failure then says which).
    invalid,
};

struct extraction_result {
    extraction_end end = extraction_end::invalid;
    // Only for an invalid end, what the user is told before the archive is
    // called invalid: the archive could not be opened ("Failed to open
    // archive!"), holds no container where it must end ("Failed to
    // initialize archive!"), or an output file could not be created or
    // written or has a stored name that is not a bare file name ("Failed to
    // extract file!", with the system's text for ERROR_INVALID_NAME); the
    // text is "File: ", the path (for an output file the work folder and the
    // stored name), "\rError: " and the system's text. Empty for a container
    // that is merely damaged.
    std::optional<vennic::failure> failure;
};

// Walks the container of the file at own_path, adds its value and file
// records to settings (existing keys keep their values) and writes each file
// record's data to work_folder followed directly by the stored file name
// (work_folder ends with its backslash). Files and settings of records read
// before a failure stay. Reports to progress when given, and stops when it
// asks. Throws only std::bad_alloc.
extraction_result extract_payload(const std::string& own_path, const std::string& work_folder,
                                  SettingsMap& settings, extraction_io& io,
                                  extraction_progress* progress = nullptr);

}  // namespace trevan
