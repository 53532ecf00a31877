#pragma once

// Writing the container format: the one owner of its record layout. The
// pack tool streams its records into a file through container_writer (file
// data in pieces, hashed as it goes, never held whole); tests and fuzz
// seeds craft containers in memory with the append_ helpers, unusual ones
// included:
//
//   std::string c;
//   append_stub(c, image, "Trevan.exe");   // any bytes as the image
//   append_value_record(c, "parameters", "/V\"A=1\"");
//   append_raw_chunk(c, "", 0xFFFFFFFFu, md5_of(""));   // a hostile length
//   append_tail(c);
//
// Records written later are met earlier by the walk, so of two records with
// the same name the later one wins. Nothing here checks names; a chunk
// longer than format::max_chunk_length throws std::length_error. What a
// sink throws passes through.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "container/md5.h"

namespace trevan {

// Where a container's bytes go.
class byte_sink {
public:
    virtual ~byte_sink() = default;
    // Writes all size bytes, or throws.
    virtual void write(const void* data, std::size_t size) = 0;
};

// Appends to a byte string it does not own.
class string_sink : public byte_sink {
public:
    explicit string_sink(std::string& out) : out_(out) {}
    void write(const void* data, std::size_t size) override { out_.append(static_cast<const char*>(data), size); }

private:
    std::string& out_;
};

// One chunk written in pieces: the data as it comes, hashed as it goes,
// then finish() writes the trailer (the length and the digest).
class chunk_writer {
public:
    explicit chunk_writer(byte_sink& out) : out_(out) {}
    chunk_writer(const chunk_writer&) = delete;
    chunk_writer& operator=(const chunk_writer&) = delete;

    void write(const void* data, std::size_t size);
    // Data bytes written so far.
    std::uint64_t size() const { return size_; }
    // Writes the trailer; returns the data's raw 16-byte MD5 digest.
    std::string finish();

private:
    byte_sink& out_;
    md5_digest md5_;
    std::uint64_t size_ = 0;
};

// Writes a chunk's data into the chunk writer it is given.
using chunk_data = std::function<void(chunk_writer&)>;
// Bytes held in memory as a chunk's data; they must outlive the write.
chunk_data in_memory(const std::string& bytes);

// Records in file order: the stub record first, the tail chunk last.
class container_writer {
public:
    explicit container_writer(byte_sink& out) : out_(out) {}

    // Each record returns the raw MD5 digest of its first chunk (the image,
    // the file data or the value), as its trailer holds it.

    // The stub record: the image chunk, the stub file name chunk and the
    // "stub" name and tag chunks.
    std::string stub_record(const chunk_data& image, const std::string& stub_file_name);
    // A file record: the data, the stored file name, the name (the setting
    // key) and the tag.
    std::string file_record(const chunk_data& data, const std::string& stored_name, const std::string& name);
    // A value record: the value, the name (the setting key) and the tag.
    std::string value_record(const std::string& text, const std::string& name);
    // The tail chunk that closes every container.
    void tail();

private:
    byte_sink& out_;
};

// The bytes each part takes in the file, for checking a container's size
// before the first byte is written.
std::uint64_t chunk_bytes(std::uint64_t data_size);
std::uint64_t stub_record_bytes(std::uint64_t image_size, const std::string& stub_file_name);
std::uint64_t file_record_bytes(std::uint64_t data_size, const std::string& stored_name, const std::string& name);
std::uint64_t value_record_bytes(const std::string& text, const std::string& name);
std::uint64_t tail_bytes();

// The raw 16-byte MD5 digest of data.
std::string md5_of(const std::string& data);

// In memory: one well-formed chunk, and one with the given length field and
// 16-byte digest as they are.
void append_chunk(std::string& out, const std::string& data);
void append_raw_chunk(std::string& out, const std::string& data, std::uint32_t length_field,
                      const std::string& digest);

// Whole records in memory, as container_writer writes them. On an empty out
// append_stub starts a container.
void append_stub(std::string& out, const std::string& image, const std::string& stub_file_name);
void append_value_record(std::string& out, const std::string& name, const std::string& text);
void append_file_record(std::string& out, const std::string& name, const std::string& stored_name,
                        const std::string& data);
void append_tail(std::string& out);

}  // namespace trevan
