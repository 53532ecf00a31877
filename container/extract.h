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

#ifdef _WIN32
#include <vector>

#include "support/platform/handle.h"
#endif

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

struct extraction_result {
    // True when the walk reached the stub record with a tail chunk read and
    // every chunk matching its digest.
    bool ok = false;
    // True when the walk stopped because progress asked it to; ok is then
    // false and failure empty, and the outputs written so far are incomplete.
    bool cancelled = false;
    // Set when the archive could not be opened ("Failed to open archive!"),
    // holds no container where it must end ("Failed to initialize
    // archive!"), or an output file could not be created or written or has a
    // stored name that is not a bare file name ("Failed to extract file!",
    // with the system's text for ERROR_INVALID_NAME); the text is "File: ",
    // the path (for an output file the work folder and the stored name), "\rError: "
    // and the system's text.
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

#ifdef _WIN32
// The files an extraction wrote, each held open from the moment its data is
// complete: for reading only, shared only for reading, so that nobody can
// change, rename or delete it, while a program can still be started from it.
// Each is known by the name it was written under (UTF-16). Move-only; the
// handles close on release() or destruction.
class extracted_files {
public:
    extracted_files() = default;
    extracted_files(extracted_files&&) = default;
    extracted_files& operator=(extracted_files&&) = default;
    extracted_files(const extracted_files&) = delete;
    extracted_files& operator=(const extracted_files&) = delete;

    // The held handle of the file written as name (in any letter case), or
    // nullptr when no held file has that name. No path is looked up.
    HANDLE find(const std::wstring& name) const;
    // Closes every handle.
    void release();

    // Takes over the handle of the file written as name.
    void keep(const std::wstring& name, vennic::unique_handle file);
    // Closes the handle of the file written as name, if held (before the
    // same name is written again).
    void release(const std::wstring& name);

private:
    struct held {
        std::wstring name;
        vennic::unique_handle handle;
    };
    std::vector<held> files_;
};

// Puts another reader over the one of the program's own file: a test build
// of the program reads it slowly that way. The shipped program wraps nothing.
using archive_wrapper = std::unique_ptr<archive_reader> (*)(std::unique_ptr<archive_reader>);

// The stored name as Windows will see it: converted from the ANSI code page,
// where every byte must be part of a character (nothing dropped or
// replaced), then checked as a bare file name in that form. Nothing when it
// does not convert or is not bare.
std::optional<std::wstring> output_name(const std::string& file_name);

// The same on this machine's file system. The archive is the program's own
// file, held by the caller (or the code of its failed opening), read only
// through that handle; own_path names it in messages. Each file is created
// in the held work folder by its name relative to that folder, written
// through a handle that shares reading only, then handed over to a handle
// for reading without its name being looked up again (see extract_win32.cpp
// for how no write gets in between): it must then still be of the same
// size, otherwise its output fails with ERROR_FILE_INVALID. work_folder is
// the folder's path for messages, with its trailing backslash. Reports to
// progress when given, and stops when it asks; wrap, when given, is put over
// the archive's reader.
extraction_result extract_payload(const std::string& own_path, const vennic::error_or<HANDLE>& archive,
                                  const std::string& work_folder, HANDLE work_folder_handle,
                                  SettingsMap& settings, extracted_files& files,
                                  extraction_progress* progress = nullptr, archive_wrapper wrap = nullptr);
#endif

}  // namespace trevan
