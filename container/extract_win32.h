#pragma once

// The extraction on this machine's file system: the program's own file read
// through the handle the caller holds, the files made relative to the held
// work folder and held from the moment their data is complete.

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "container/extract.h"
#include "support/platform/handle.h"

namespace trevan {

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

}  // namespace trevan
