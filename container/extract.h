#pragma once

// Extraction of the payload container from the program's own file (Windows).

#include <string>

#include "app/settings_map.h"

namespace trevan {

// Walks the container of the file at own_path (full path), adds its value
// and file records to settings (existing keys keep their values) and writes
// each file record's data to work_folder followed directly by the stored file
// name (work_folder ends with its backslash). Returns true when the walk
// ended with a tail chunk read and every chunk matching its digest. Shows a
// message box and returns false when the file cannot be opened ("Failed to
// open archive!"), holds no container ("Failed to initialize archive!") or an
// output file cannot be created or written ("Failed to extract file!").
// Files and settings of records read before a failure stay. Throws only
// std::bad_alloc.
bool extract_payload(const std::string& own_path, const std::string& work_folder, SettingsMap& settings);

}  // namespace trevan
