#pragma once

// The container walk: finds the tail chunk where the container must end
// (container/anchor.h: at the end of the file, or where its certificate
// table begins), then reads chunks backward (each checked against its MD5
// digest) as the tail chunk and records until the stub record's tag and
// name. Value and file records enter the settings without replacing existing
// keys; file data goes to outputs that the observer provides. The program
// and the pack tool share this code, so both accept exactly the same files.
// A walk that does not reach the stub record fails: a chunk that cannot be
// read, a digest that does not match, a stored file name that is not bare
// (container/file_name.h), an output that fails and a stop the observer asks
// for all end it with false.
//
// Length fields are untrusted: a chunk longer than format::max_chunk_length
// or than the bytes before it is unreadable, found before any move or
// allocation. Large chunks are checked in pieces of at most piece_size bytes
// before their data is kept, and file data is never held whole: it is read
// once, in pieces, each piece hashed and written; the output is finished
// only when the whole data matched its digest. A value is held once, in the
// settings.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "container/settings.h"
#include "container/reader.h"

namespace trevan {

// Largest piece of chunk data held at once while checking or copying.
inline constexpr std::uint32_t piece_size = 4u << 20;

// The part a chunk plays in the walk.
enum class chunk_role { tail, tag, name, value, file_name, file_data };

// "tail", "tag", "name", "value", "file name" or "file data".
const char* role_text(chunk_role role);

struct chunk_info {
    unsigned index = 0;  // walk step, counted from 1
    chunk_role role = chunk_role::tag;
    std::uint32_t offset = 0;  // file offset of the first data byte
    std::uint32_t length = 0;  // data bytes
    bool digest_ok = false;
};

enum class record_kind { value, file, stub, other };

// "value", "file", "stub" or "other".
const char* kind_text(record_kind kind);

struct record_info {
    record_kind kind = record_kind::other;
    std::string tag;
    std::string name;
    std::string text;  // the value, or the stored file name; empty otherwise
    std::uint32_t file_size = 0;
    bool setting_added = false;  // false when the key was already present
};

enum class walk_end {
    stub_reached,      // the stub record's tag and name were read
    unreadable_chunk,  // a chunk could not be read
    digest_mismatch,   // a chunk's data did not match its digest
    no_marker,         // no tail chunk where the container must end
    bad_file_name,     // a stored file name is not a bare file name
    output_failed,     // an output file could not be created or written
    cancelled,         // the observer asked the walk to stop
};

struct walk_result {
    // The walk's result: true only when it reached the stub record with the
    // ok flag set (a tail chunk read, no digest mismatch).
    bool ok = false;
    walk_end end = walk_end::no_marker;
    bool tail_read = false;  // whether any tail chunk was read
    unsigned chunks = 0;     // chunks read, the mismatching one included
    // One line on where and why the walk ended; texts from the container
    // appear in it cut and escaped (container/printable.h).
    std::string reason;
};

// Receives one file's data, in order. Destruction closes it.
class output_file {
public:
    virtual ~output_file() = default;
    // False ends the walk with false; the output reports its own failure.
    virtual bool write(const void* data, std::size_t size) = 0;
    // Called after the last write; false as for write.
    virtual bool finish() { return true; }
    // The system's error code of the write or finish that failed; 0 when the
    // output has none to tell.
    virtual unsigned long error() const { return 0; }
};

// What a walk reports to, and where file data goes. The default ignores
// everything and writes no files.
class walk_observer {
public:
    virtual ~walk_observer() = default;
    virtual void chunk_read(const chunk_info&) {}
    virtual void record_read(const record_info&) {}
    // After each piece of a large chunk: bytes of the chunk done so far, when
    // checking its digest (copying false) or copying file data (true).
    virtual void data_progress(bool copying, std::uint32_t done, std::uint32_t length) {
        (void)copying, (void)done, (void)length;
    }
    // Asked before each read of chunk data (a whole chunk, or one piece of
    // a large one): true ends the walk there with walk_end::cancelled.
    virtual bool stop_requested() { return false; }
    // No tail chunk where the container must end; called before any
    // further system call.
    virtual void search_failed() {}
    // A file record's stored name is not a bare file name; the walk then
    // ends with false and creates nothing for it.
    virtual void file_name_refused(const std::string& file_name) { (void)file_name; }
    // Whether file data is to be copied anywhere; if not, file records are
    // checked and enter the settings, and create_output is never called.
    virtual bool writes_files() const { return false; }
    // Whether a walk that writes no files reads and checks file data at all.
    // False skips it unread (its chunk is reported with digest_ok true):
    // only for a first look at names and places, never as a verification.
    virtual bool checks_file_data() const { return true; }
    // Called when a file record's data is about to be read, its stored name
    // found bare. Returns the output, or nullptr when it cannot be created
    // (the walk then ends with false; report the failure here). The data
    // arrives piece by piece as it is checked; finish() follows only when it
    // all matched its digest, and the setting is added after that. An output
    // destroyed without finish() holds data that must not be used.
    virtual std::unique_ptr<output_file> create_output(const std::string& file_name,
                                                       std::uint32_t size);
    // What the walk keeps in the settings of a setting it adds. A walk that
    // only lists or checks a container need not hold every value: a million
    // distinct names would otherwise cost their values' memory again.
    enum class keeping {
        whole,      // the name and its value (the default)
        name_only,  // the name with an empty value: enough to tell that a
                    // later record of that name is ignored
        nothing,    // not kept; a later record of that name counts as added
    };
    virtual keeping keeps(const std::string& name) const {
        (void)name;
        return keeping::whole;
    }
};

// Walks the container of the file behind in. Fills settings in place (keys
// already present keep their values), keeping what the observer asks for. Throws only what allocation or the
// observer throws.
walk_result walk_container(archive_reader& in, SettingsMap& settings, walk_observer& observer);
walk_result walk_container(archive_reader& in, SettingsMap& settings);

// How reading a chunk's data ended.
enum class chunk_status {
    read,          // read whole and matching its digest
    unreadable,    // it could not be located or read
    mismatch,      // its data did not match its digest
    write_failed,  // an output of its data failed (never from read_chunk)
    cancelled,     // the observer asked to stop before a read (never from read_chunk)
};

// The chunk primitive on its own: with the position at the end of a chunk,
// reads its data into data and leaves the position at the chunk's start
// (when read).
chunk_status read_chunk(archive_reader& in, std::string& data);

}  // namespace trevan
