#pragma once

// Building a packed program file: the whole file from an unsigned stub
// executable and an ordered list of records, with every input checked before
// the first byte is written. The records are written by the container's
// writer (container/writer.h), file data streamed in pieces.
//
//   using namespace trevan::pack;
//   build_container(stub_exe, {file_record("installer64", "Setup_x64.exe", src64),
//                              value_record("msilog", "ON")},
//                   out_path);
//
// Records are written in the order given; a walk meets them in the reverse
// order, so of two records with the same name the later one wins.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "container/settings.h"
#include "container/walk.h"
#include "tools/pack/branding.h"
#include "tools/pack/tool_error.h"

namespace trevan::pack {

// One record of a container.
struct record {
    enum class kind { file, value };
    kind type = kind::value;
    std::string name;         // record name: the setting key
    std::string stored_name;  // file: the name the data is written under
    std::string source;       // file: path of the file whose bytes are stored
    std::string text;         // value: the setting's text
};

// A file record; an empty stored_name means the source's own file name.
record file_record(const std::string& name, const std::string& stored_name, const std::string& source);
record value_record(const std::string& name, const std::string& text);

// The name a file record's data is stored under: its stored_name, or the
// source's own file name.
std::string stored_name_of(const record& file);

// The settings a run takes from these records: of two with the same name
// the later one (the walk meets it first), a file record as its stored
// name. "source" and "commandline", which every run sets itself, are there
// with empty values.
SettingsMap settings_of(const std::vector<record>& records);

struct build_options {
    // The stub record's file name; empty means the stub's own file name.
    std::string stub_file_name;
    // Called now and then while a file's bytes are copied: the file's source
    // path, bytes done, bytes in all.
    std::function<void(const std::string&, std::uint64_t, std::uint64_t)> progress;
    // Resources put into the stub's image before it is written as the stub
    // record; empty leaves the image as it is.
    branding brand;
    // Called with the records once every input is open and checked and the
    // output's temporary made, before a byte is written: returns value
    // records to write behind them (the pack tool's kind), or throws
    // tool_error to stop (its checks), which leaves no output.
    std::function<std::vector<record>(const std::vector<record>&)> review;
    // Puts the complete file, a temporary beside the output, in the output's
    // place (signing does, signing.h); empty renames it there. Whatever it
    // leaves at the temporary's path is removed.
    std::function<void(const std::string& complete, const std::string& output)> put_in_place;
};

// A record as written, for the build report: the stub record, then the
// records in the order given.
struct written_record {
    record_kind kind = record_kind::value;  // stub, file or value
    std::string name;         // the setting key; empty for the stub
    std::string stored_name;  // file and stub: the file name written
    std::string text;         // value: the setting's text
    std::uint64_t size = 0;   // bytes of the record's data (image, file, value)
    std::string md5;          // raw MD5 digest of that data
};

// Writes the container to output_path: the stub image chunk, the stub
// record, the records in order and the tail chunk, and returns what was
// written. Everything is checked before the first byte is written; the
// result goes to a temporary file beside output_path that replaces it only
// when complete, so on any error no output appears and an existing output
// stays as it was. Same inputs give
// the same bytes. Throws tool_error (bad input: a missing or unreadable
// file, a stub that is not a Windows executable or is signed already, a
// chunk above the format's limit, a result of 4 GiB or more, a stored file
// name that is not bare, an output that cannot be written, what the review
// throws). Returns the records as written, those the review added last.
std::vector<written_record> build_container(const std::string& stub_path, const std::vector<record>& records,
                                            const std::string& output_path, const build_options& options = {});

}  // namespace trevan::pack
